#include "play/jp_pref_window.h"

#include "imaging/textures.h"
#include "model/puzzle_style.h"
#include "play/jp_pref_controller.h"
#include "support/cc_notifier.h"
#include "play_fixtures.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QUrl>

namespace {

class PrefWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QSettings empty(tj::test::freshFolder() + QStringLiteral("/settings.ini"), QSettings::IniFormat);
        prefs.loadFrom(empty);
        connection = QObject::connect(CCNotifier::sharedInstance(), &CCNotifier::posted, [this](const QString &name) {
            if (name == QLatin1String("wmjigsaw.switch"))
                ++switches;
        });
    }
    void TearDown() override { QObject::disconnect(connection); }

    JPPrefWindow *open()
    {
        prefs.showPreferences(&host);
        tj::test::drainEvents();
        return prefs.preferencesWindow();
    }

    void clickCell(CCPictureCollection *grid, int index)
    {
        const QPointF at = grid->rectForPicture(index).center();
        tj::test::SendMouse(grid, QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
        tj::test::SendMouse(grid, QEvent::MouseButtonRelease, at, Qt::LeftButton, {});
    }

    QWidget host;
    JPPrefController prefs;
    QMetaObject::Connection connection;
    int switches = 0;
};

TEST_F(PrefWindowTest, OpensOnceWithTheSettingsShown)
{
    prefs.setTextureIndex(3);
    prefs.setRotatePieces(true);
    JPPrefWindow *window = open();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->textureGrid()->selectedIndexes(), QList<int>{3});
    EXPECT_TRUE(window->rotatePiecesBox()->isChecked());
    EXPECT_TRUE(window->playClickBox()->isChecked());
    EXPECT_FALSE(window->useColorBox()->isChecked());
    EXPECT_EQ(switches, 0);

    // Each option box stores its setting and redraws.
    window->playClickBox()->click();
    window->simpleEdgesBox()->click();
    EXPECT_FALSE(prefs.playClick());
    EXPECT_TRUE(prefs.simpleEdges());
    EXPECT_EQ(switches, 2);

    window->closeButton()->click();
    EXPECT_FALSE(window->isVisible());
    prefs.setPlayClick(true);
    EXPECT_EQ(open(), window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->playClickBox()->isChecked());
    EXPECT_EQ(switches, 2);
}

TEST_F(PrefWindowTest, TextureCellsAreTileCornersAtRealSize)
{
    JPPrefWindow *window = open();
    ASSERT_EQ(window->numberOfPicturesInCollection(window->textureGrid()), kTextureCount);
    for (int i = 0; i < kTextureCount; ++i) {
        const QImage sample = window->pictureCollection(window->textureGrid(), i);
        const QImage tile = TextureImage(i);
        ASSERT_FALSE(tile.isNull()) << i;
        EXPECT_EQ(sample, tile.copy(0, 0, 128, 128)) << i;
    }
    EXPECT_TRUE(window->pictureCollection(window->textureGrid(), 8).isNull());
    EXPECT_TRUE(window->pictureCollection(window->textureGrid(), -1).isNull());
}

// Every choice is stored, gives the outline a contrasting colour and redraws the board.
TEST_F(PrefWindowTest, TextureAndColourChoicesSetTheOutlineAndRedraw)
{
    JPPrefWindow *window = open();
    clickCell(window->textureGrid(), 1);
    EXPECT_EQ(prefs.textureIndex(), 1);
    EXPECT_EQ(KolorFromColor(OutlineColor()), 0x64C0C0C0u);
    EXPECT_EQ(switches, 1);

    window->colorButton()->click();
    auto *chooser = window->findChild<QColorDialog *>();
    ASSERT_NE(chooser, nullptr);
    EXPECT_EQ(chooser->currentColor().rgba(), prefs.backgroundColor().rgba());
    chooser->setCurrentColor(QColor(0, 0, 0));
    chooser->accept();
    EXPECT_EQ(prefs.backgroundKolor(), 0x64000000u);
    EXPECT_TRUE(prefs.useColor());
    EXPECT_TRUE(window->useColorBox()->isChecked());
    EXPECT_EQ(KolorFromColor(OutlineColor()), 0x64808080u);
    EXPECT_EQ(switches, 2);

    window->resetColorButton()->click();
    EXPECT_EQ(prefs.backgroundKolor(), 0x64D1D1D1u);
    EXPECT_EQ(prefs.backgroundColor().rgba(), qRgb(209, 209, 209));
    EXPECT_EQ(KolorFromColor(OutlineColor()), 0x64404040u);
    EXPECT_EQ(switches, 3);
    // A clear colour can't be stored and changes nothing.
    prefs.changeColor(QColor(10, 20, 30, 0));
    prefs.changeColor(QColor());
    EXPECT_EQ(prefs.backgroundKolor(), 0x64D1D1D1u);
    EXPECT_EQ(switches, 3);

    // A texture picked while the plain colour is on shows the texture.
    clickCell(window->textureGrid(), 7);
    EXPECT_FALSE(prefs.useColor());
    EXPECT_FALSE(window->useColorBox()->isChecked());
    EXPECT_EQ(KolorFromColor(OutlineColor()), 0x64808080u);
    EXPECT_EQ(switches, 4);
}

TEST_F(PrefWindowTest, CreditLinksToHowTheTexturesWereMade)
{
    QLabel *credit = open()->creditLabel();
    EXPECT_TRUE(credit->openExternalLinks());
    EXPECT_TRUE(credit->text().startsWith(QStringLiteral("Felt textures made for Tobbin Jigsaw")));
    const qsizetype start = credit->text().indexOf(QStringLiteral("href=\""));
    ASSERT_GE(start, 0);
    const qsizetype end = credit->text().indexOf(QLatin1Char('"'), start + 6);
    const QUrl link(credit->text().mid(start + 6, end - start - 6));
    EXPECT_TRUE(link.isLocalFile());
    EXPECT_TRUE(QFileInfo(link.toLocalFile()).isFile()) << link.toString().toStdString();
}

}
