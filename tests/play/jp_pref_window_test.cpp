#include "play/jp_pref_window.h"

#include "model/puzzle_style.h"
#include "play/jp_pref_controller.h"
#include "play_fixtures.h"
#include "support/cc_notifier.h"

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

// The window opens once, shows the settings, stores what its boxes change and links its
// credit to the document on how the textures were made.
TEST_F(PrefWindowTest, OpensOnceWithTheSettingsShownAndStoresTheOptions)
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

    const QString credit = window->creditLabel()->text();
    EXPECT_TRUE(window->creditLabel()->openExternalLinks());
    EXPECT_TRUE(credit.startsWith(QStringLiteral("Felt textures made for Tobbin Jigsaw")));
    const qsizetype start = credit.indexOf(QStringLiteral("href=\"")) + 6;
    ASSERT_GE(start, 6);
    const QUrl link(credit.mid(start, credit.indexOf(QLatin1Char('"'), start) - start));
    EXPECT_TRUE(link.isLocalFile());
    EXPECT_TRUE(QFileInfo(link.toLocalFile()).isFile()) << link.toString().toStdString();
}

// Every choice is stored, gives the outline a contrasting colour and redraws the board.
TEST_F(PrefWindowTest, TextureAndColourChoicesSetTheOutlineAndRedraw)
{
    JPPrefWindow *window = open();
    // The stored texture and colour, whether the plain colour is on (and its box ticked), the
    // outline colour and the count of redraws.
    const auto state = [&] {
        return QStringLiteral("texture %1 colour %2 plain %3%4 outline %5 redraws %6")
            .arg(prefs.textureIndex())
            .arg(prefs.backgroundKolor(), 0, 16)
            .arg(prefs.useColor())
            .arg(window->useColorBox()->isChecked())
            .arg(KolorFromColor(OutlineColor()), 0, 16)
            .arg(switches);
    };
    clickCell(window->textureGrid(), 1);
    EXPECT_EQ(state(), QStringLiteral("texture 1 colour 64d1d1d1 plain 00 outline 64c0c0c0 redraws 1"));

    window->colorButton()->click();
    auto *chooser = window->findChild<QColorDialog *>();
    ASSERT_NE(chooser, nullptr);
    EXPECT_EQ(chooser->currentColor().rgba(), prefs.backgroundColor().rgba());
    chooser->setCurrentColor(QColor(0, 0, 0));
    chooser->accept();
    EXPECT_EQ(state(), QStringLiteral("texture 1 colour 64000000 plain 11 outline 64808080 redraws 2"));

    window->resetColorButton()->click();
    EXPECT_EQ(prefs.backgroundColor().rgba(), qRgb(209, 209, 209));
    const QString reset = QStringLiteral("texture 1 colour 64d1d1d1 plain 11 outline 64404040 redraws 3");
    EXPECT_EQ(state(), reset);
    // A clear colour can't be stored and changes nothing.
    prefs.changeColor(QColor(10, 20, 30, 0));
    prefs.changeColor(QColor());
    EXPECT_EQ(state(), reset);

    // A texture picked while the plain colour is on shows the texture.
    clickCell(window->textureGrid(), 7);
    EXPECT_EQ(state(), QStringLiteral("texture 7 colour 64d1d1d1 plain 00 outline 64808080 redraws 4"));
}

}
