// Test entry point: points HOME and every XDG folder at a temporary folder before Qt
// starts, runs the tests offscreen, and removes the folder afterwards.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#ifdef TJ_TEST_WIDGETS
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QGuiApplication>
using TestApplication = QGuiApplication;
#endif

namespace {

std::string makeTemporaryHome()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "tj-test-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        std::abort();
    return pattern;
}

void setFolder(const char *variable, const std::string &path)
{
    std::filesystem::create_directories(path);
    setenv(variable, path.c_str(), 1);
}

}

int main(int argc, char **argv)
{
    // A test that restarts the game runs itself again in the same home.
    const char *given = std::getenv("TJ_TEST_HOME");
    const bool ownHome = !given || !*given;
    const std::string home = ownHome ? makeTemporaryHome() : std::string(given);
    setFolder("HOME", home);
    setFolder("XDG_DATA_HOME", home + "/.local/share");
    setFolder("XDG_CONFIG_HOME", home + "/.config");
    setFolder("XDG_CACHE_HOME", home + "/.cache");
    setFolder("XDG_STATE_HOME", home + "/.local/state");
    setFolder("XDG_DOWNLOAD_DIR", home + "/Downloads");
    setFolder("XDG_RUNTIME_DIR", home + "/runtime");
    std::filesystem::permissions(home + "/runtime", std::filesystem::perms::owner_all);
    setFolder("TMPDIR", home + "/tmp");
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);

    TestApplication app(argc, argv);
    TestApplication::setApplicationName(QStringLiteral("Tobbin Jigsaw"));
    TestApplication::setOrganizationName(QStringLiteral("Wrenmoor"));
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    if (ownHome && !std::getenv("TJ_KEEP_TEST_HOME"))
        std::filesystem::remove_all(home);
    return result;
}
