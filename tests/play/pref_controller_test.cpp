#include "play/jp_pref_controller.h"

#include "model/jp_puzzle.h"
#include "model/puzzle_style.h"
#include "test_support.h"

#include <QFile>
#include <QStringList>

namespace {

QString settingsPath()
{
    return tj::test::freshFolder() + QStringLiteral("/settings.ini");
}

const QStringList kAllKeys = {
    QStringLiteral("wmjigsaw.a&l"),        QStringLiteral("wmjigsaw.edges"),     QStringLiteral("wmjigsaw.rotate"),
    QStringLiteral("wmjigsaw.lockDrag"),   QStringLiteral("wmjigsaw.useColor"),  QStringLiteral("wmjigsaw.simpleEdges"),
    QStringLiteral("wmjigsaw.playClick"),  QStringLiteral("wmjigsaw.tools"),     QStringLiteral("wmjigsaw.downloadDate"),
    QStringLiteral("wmjigsaw.websiteZip"), QStringLiteral("wmjigsaw.category"),  QStringLiteral("wmjigsaw.source"),
    QStringLiteral("wmjigsaw.size"),       QStringLiteral("wmjigsaw.texture"),   QStringLiteral("wmjigsaw.color"),
    QStringLiteral("wmjigsaw.statusBar")};

// Every value but the archive name, which any text may be.
void expectDefaults(const JPPrefController &prefs)
{
    EXPECT_EQ(prefs.puzzleSize(), 1000);
    EXPECT_EQ(prefs.textureIndex(), 7);
    EXPECT_EQ(prefs.backgroundKolor(), 0x64D1D1D1u);
    EXPECT_TRUE(prefs.playClick());
    EXPECT_TRUE(prefs.showToolbar());
    EXPECT_TRUE(prefs.showStatusBar());
    EXPECT_FALSE(prefs.advancedAndLocal());
    EXPECT_FALSE(prefs.edgesOnly());
    EXPECT_FALSE(prefs.rotatePieces());
    EXPECT_FALSE(prefs.lockedDrag());
    EXPECT_FALSE(prefs.useColor());
    EXPECT_FALSE(prefs.simpleEdges());
    EXPECT_EQ(prefs.lastWebsiteDate(), 0);
    EXPECT_EQ(prefs.category(), 0);
    EXPECT_EQ(prefs.puzzleSource(), 0);
}

TEST(PrefController, EmptyStoreGivesDefaultsAndTheBlackFeltOutline)
{
    QSettings settings(settingsPath(), QSettings::IniFormat);
    JPPrefController prefs;
    prefs.loadFrom(settings);
    expectDefaults(prefs);
    EXPECT_TRUE(prefs.websiteZipName().isEmpty());
    EXPECT_EQ(prefs.outlineKolor(), 0x64808080u);
    EXPECT_EQ(KolorFromColor(OutlineColor()), 0x64808080u);
}

// Every key set to the same raw text, as a hand-edited or damaged settings file holds it.
void loadRawSettings(JPPrefController &prefs, const QByteArray &raw)
{
    const QString path = settingsPath();
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[General]\n");
        for (const QString &key : kAllKeys)
            file.write(key.toUtf8().replace("&", "%26") + '=' + raw + '\n');
        file.write(QByteArray("no equals sign here\n\xff\xfe\0garbage=\n[", 33));
    }
    QSettings reader(path, QSettings::IniFormat);
    prefs.loadFrom(reader);
}

TEST(PrefController, HandDamagedSettingsFilesReadAsDefaults)
{
    JPPrefController plain;
    loadRawSettings(plain, "1");
    EXPECT_TRUE(plain.advancedAndLocal() && plain.edgesOnly() && plain.rotatePieces() && plain.lockedDrag()
                && plain.useColor() && plain.simpleEdges())
        << "every key of the file is read";
    EXPECT_EQ(plain.lastWebsiteDate() + plain.category() + plain.puzzleSource() + plain.puzzleSize()
                  + plain.textureIndex(),
              5);

    // Words, fractions, negative numbers, serialised values of foreign or impossible types,
    // numbers past every range, lists.
    const QList<QByteArray> damage = {
        "nonsense",
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
        QByteArray(100000, '9'),
    };
    for (const QByteArray &bad : damage) {
        SCOPED_TRACE(bad.left(60).toStdString());
        JPPrefController prefs;
        loadRawSettings(prefs, bad);
        expectDefaults(prefs);
    }
}

TEST(PrefController, TableIndexesOutOfRangeReadAsDefaults)
{
    QSettings settings(settingsPath(), QSettings::IniFormat);
    settings.setValue(QStringLiteral("wmjigsaw.texture"), 9);
    settings.setValue(QStringLiteral("wmjigsaw.category"), 12);
    settings.setValue(QStringLiteral("wmjigsaw.source"), 7);
    settings.setValue(QStringLiteral("wmjigsaw.size"), 0);
    JPPrefController prefs;
    prefs.loadFrom(settings);
    EXPECT_EQ(prefs.textureIndex(), 7);
    EXPECT_EQ(prefs.category(), 0);
    EXPECT_EQ(prefs.puzzleSource(), 0);
    EXPECT_EQ(prefs.puzzleSize(), 0) << "a stored 0 is a value, not an absent key";
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
    EXPECT_TRUE(read.advancedAndLocal() && read.edgesOnly() && read.rotatePieces() && read.lockedDrag() &&
                read.useColor() && read.simpleEdges());
    EXPECT_FALSE(read.playClick() || read.showToolbar());
    EXPECT_EQ(read.lastWebsiteDate(), 20260412);
    EXPECT_EQ(read.websiteZipName(), QStringLiteral("thumbs-7 é"));
    EXPECT_EQ(read.category(), 6);
    EXPECT_EQ(read.puzzleSource(), 4);
    EXPECT_EQ(read.puzzleSize(), 250);
    EXPECT_EQ(read.textureIndex(), 2);
    EXPECT_EQ(read.backgroundKolor(), MakeKolor(10, 20, 30, 50));
    EXPECT_TRUE(JPPuzzle::creationOptions().rotatePieces && JPPuzzle::creationOptions().edgesOnly &&
                JPPuzzle::creationOptions().simpleEdges);

    read.setWebsiteZipName(QString());
    read.setBackgroundKolor(0x64D1D1D1);
    read.saveTo(settings);
    EXPECT_FALSE(settings.contains(QStringLiteral("wmjigsaw.websiteZip")));
    EXPECT_EQ(settings.value(QStringLiteral("wmjigsaw.color")).toString(), QStringLiteral("{209, 209, 209}"));
}

}
