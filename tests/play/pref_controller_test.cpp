#include "play/jp_pref_controller.h"

#include "model/jp_puzzle.h"
#include "model/puzzle_style.h"
#include "test_support.h"

#include <QStringList>

namespace {

QString settingsPath()
{
    return tj::test::freshFolder() + QStringLiteral("/settings.ini");
}

const QStringList kAllKeys = {
    QStringLiteral("wmjigsaw.a&l"),        QStringLiteral("wmjigsaw.edges"),    QStringLiteral("wmjigsaw.rotate"),
    QStringLiteral("wmjigsaw.lockDrag"),   QStringLiteral("wmjigsaw.useColor"), QStringLiteral("wmjigsaw.simpleEdges"),
    QStringLiteral("wmjigsaw.playClick"),  QStringLiteral("wmjigsaw.tools"),    QStringLiteral("wmjigsaw.downloadDate"),
    QStringLiteral("wmjigsaw.websiteZip"), QStringLiteral("wmjigsaw.category"), QStringLiteral("wmjigsaw.source"),
    QStringLiteral("wmjigsaw.size"),       QStringLiteral("wmjigsaw.texture"),  QStringLiteral("wmjigsaw.color"),
    QStringLiteral("wmjigsaw.statusBar"),  QStringLiteral("wmjigsaw.overview")};

// Every setting but the archive name, which any text may be, in one line a failure shows whole.
// The flags: advanced and local, edges, rotate, locked drag, use colour, simple edges, click,
// tool strip, status bar, overview.
QString valuesOf(const JPPrefController &p)
{
    QString flags;
    for (bool on : {p.advancedAndLocal(), p.edgesOnly(), p.rotatePieces(), p.lockedDrag(), p.useColor(),
                    p.simpleEdges(), p.playClick(), p.showToolbar(), p.showStatusBar(), p.showOverview()})
        flags += on ? QLatin1Char('1') : QLatin1Char('0');
    return QStringLiteral("flags %1 date %2 category %3 source %4 size %5 texture %6 colour %7")
        .arg(flags)
        .arg(p.lastWebsiteDate())
        .arg(p.category())
        .arg(p.puzzleSource())
        .arg(p.puzzleSize())
        .arg(p.textureIndex())
        .arg(p.backgroundKolor(), 0, 16);
}

const QString kDefaults =
    QStringLiteral("flags 0000001111 date 0 category 0 source 0 size 1000 texture 7 colour 64d1d1d1");

// Every key set to the same raw text, as a hand-edited or damaged settings file holds it.
void loadRawSettings(JPPrefController &prefs, const QByteArray &raw)
{
    const QString path = settingsPath();
    QByteArray file = "[General]\n";
    for (const QString &key : kAllKeys)
        file += key.toUtf8().replace("&", "%26") + '=' + raw + '\n';
    tj::test::writeFile(path, file + QByteArray("no equals sign here\n\xff\xfe\0garbage=\n[", 33));
    QSettings reader(path, QSettings::IniFormat);
    prefs.loadFrom(reader);
}

TEST(PrefController, EmptyHandDamagedOrOutOfRangeSettingsReadAsDefaults)
{
    {
        QSettings empty(settingsPath(), QSettings::IniFormat);
        JPPrefController prefs;
        prefs.loadFrom(empty);
        EXPECT_EQ(valuesOf(prefs), kDefaults);
        EXPECT_TRUE(prefs.websiteZipName().isEmpty());
        EXPECT_EQ(KolorFromColor(OutlineColor()), 0x64808080u) << "loading outlines the black felt";
    }
    JPPrefController plain;
    loadRawSettings(plain, "1");
    EXPECT_EQ(valuesOf(plain),
              QStringLiteral("flags 1111111111 date 1 category 1 source 1 size 1 texture 1 colour 64d1d1d1"))
        << "every key of the file is read";

    // Words, fractions, negative numbers, serialised values of foreign or impossible types,
    // numbers past every range, lists.
    const QList<QByteArray> damage = {"nonsense",
                                      "3.5",
                                      "-1",
                                      "@Variant(\\0\\0\\0\\x7f\\0garbage)",
                                      "@Variant(\\0\\0\\0\\xb\\0\\xff\\xff\\xff\\xff)",
                                      "@Variant(\\0\\0\\0\\n\\0\\xff\\xff\\xff\\xf0)",
                                      "@ByteArray(\\xff\\xfe\\0)",
                                      "@Rect(1 2 3 4)",
                                      "9223372036854775807",
                                      "-9223372036854775808",
                                      "1e300",
                                      "0x10",
                                      "",
                                      "true, false, 1",
                                      QByteArray(100000, '9')};
    for (const QByteArray &bad : damage) {
        JPPrefController prefs;
        loadRawSettings(prefs, bad);
        EXPECT_EQ(valuesOf(prefs), kDefaults) << bad.left(60).toStdString();
    }

    // Numbers past a table's end read as its default, but a stored size 0 is a value, not an absent key.
    QSettings settings(settingsPath(), QSettings::IniFormat);
    for (const auto &[key, value] : {std::pair{"texture", 9}, {"category", 12}, {"source", 7}, {"size", 0}})
        settings.setValue(QStringLiteral("wmjigsaw.") + QLatin1String(key), value);
    JPPrefController prefs;
    prefs.loadFrom(settings);
    EXPECT_EQ(valuesOf(prefs), QString(kDefaults).replace(QStringLiteral("size 1000"), QStringLiteral("size 0")));
}

TEST(PrefController, EverySettingSurvivesARoundTripThroughTheStore)
{
    const QString path = settingsPath();
    JPPrefController written;
    written.setAdvancedAndLocal(true);
    written.setEdgesOnly(true);
    written.setRotatePieces(true);
    written.setLockedDrag(true);
    written.setUseColor(true);
    written.setSimpleEdges(true);
    written.setPlayClick(false);
    written.setShowToolbar(false);
    written.setShowOverview(false);
    written.setLastWebsiteDate(20260412);
    written.setWebsiteZipName(QStringLiteral("thumbs-7 é"));
    written.setCategory(6);
    written.setPuzzleSource(4);
    written.setPuzzleSize(250);
    written.setTextureIndex(2);
    written.setBackgroundKolor(MakeKolor(10, 20, 30, 50));
    {
        QSettings settings(path, QSettings::IniFormat);
        written.saveTo(settings);
        EXPECT_EQ(settings.value(QStringLiteral("wmjigsaw.color")).toString(), QStringLiteral("{10, 20, 30, 50}"));
    }
    QSettings settings(path, QSettings::IniFormat);
    JPPrefController read;
    read.loadFrom(settings);
    EXPECT_EQ(valuesOf(read),
              QStringLiteral("flags 1111110010 date 20260412 category 6 source 4 size 250 texture 2 colour 321e140a"));
    EXPECT_EQ(read.websiteZipName(), QStringLiteral("thumbs-7 é"));
    EXPECT_TRUE(JPPuzzle::creationOptions().rotatePieces && JPPuzzle::creationOptions().edgesOnly
                && JPPuzzle::creationOptions().simpleEdges);

    read.setWebsiteZipName(QString());
    read.setBackgroundKolor(0x64D1D1D1);
    read.saveTo(settings);
    EXPECT_FALSE(settings.contains(QStringLiteral("wmjigsaw.websiteZip")));
    EXPECT_EQ(settings.value(QStringLiteral("wmjigsaw.color")).toString(), QStringLiteral("{209, 209, 209}"));
}

}
