#pragma once

#include "imaging/kolor.h"

#include <QColor>
#include <QPointer>
#include <QSettings>
#include <QString>

#include <cstdint>

class JPPrefWindow;
class QWidget;

// Every game setting, held in memory. Loaded from the per-user settings store on first
// use; written back only by savePreferences(). Main thread only; one instance for the
// life of the process.
class JPPrefController
{
public:
    static constexpr int kDefaultPuzzleSize = 1000;
    static constexpr int kDefaultTexture = 7;
    static constexpr Kolor kDefaultBackgroundKolor = 0x64D1D1D1;
    static constexpr int kCategoryCount = 8;
    static constexpr int kSourceCount = 5;
    // Piece indexes stay below 5001, so no puzzle has more pieces.
    static constexpr int kMaxPuzzleSize = 5000;

    static JPPrefController *sharedInstance();

    // Reads every key; a missing, wrongly typed or out-of-range value reads as its default.
    void loadFrom(const QSettings &settings);
    // Writes every key the controller owns.
    void saveTo(QSettings &settings) const;
    void savePreferences() const;
    // Recomputes the process-wide outline colour from the board's look.
    void setOutlineColor();
    // The outline Kolor the current board look asks for.
    Kolor outlineKolor() const;

    int64_t lastWebsiteDate() const { return m_lastWebsiteDate; }
    void setLastWebsiteDate(int64_t value) { m_lastWebsiteDate = value; }
    int puzzleSource() const { return m_puzzleSource; }
    void setPuzzleSource(int value) { m_puzzleSource = value; }
    int category() const { return m_category; }
    void setCategory(int value) { m_category = value; }
    int puzzleSize() const { return m_puzzleSize; }
    void setPuzzleSize(int value) { m_puzzleSize = value; }
    bool rotatePieces() const { return m_rotatePieces; }
    void setRotatePieces(bool on);
    bool edgesOnly() const { return m_edgesOnly; }
    void setEdgesOnly(bool on);
    bool advancedAndLocal() const { return m_advancedAndLocal; }
    void setAdvancedAndLocal(bool on) { m_advancedAndLocal = on; }
    bool showToolbar() const { return m_showToolbar; }
    void setShowToolbar(bool on) { m_showToolbar = on; }
    // The puzzle window shows the status bar with the puzzle's progress.
    bool showStatusBar() const { return m_showStatusBar; }
    void setShowStatusBar(bool on) { m_showStatusBar = on; }
    bool showOverview() const { return m_showOverview; }
    void setShowOverview(bool on) { m_showOverview = on; }
    bool useColor() const { return m_useColor; }
    void setUseColor(bool on) { m_useColor = on; }
    bool lockedDrag() const { return m_lockedDrag; }
    void setLockedDrag(bool on) { m_lockedDrag = on; }
    bool playClick() const { return m_playClick; }
    void setPlayClick(bool on) { m_playClick = on; }
    bool simpleEdges() const { return m_simpleEdges; }
    void setSimpleEdges(bool on);
    int textureIndex() const { return m_textureIndex; }
    void setTextureIndex(int value) { m_textureIndex = value; }
    QColor backgroundColor() const { return m_backgroundColor; }
    void setBackgroundColor(const QColor &color) { m_backgroundColor = color; }
    Kolor backgroundKolor() const { return m_backgroundKolor; }
    // Also sets backgroundColor.
    void setBackgroundKolor(Kolor kolor);
    const QString &websiteZipName() const { return m_websiteZipName; }
    void setWebsiteZipName(const QString &name) { m_websiteZipName = name; }

    // The text the colour key holds for a Kolor.
    static QString stringForKolor(Kolor kolor);

    // Shows the preferences window, made on first use as a tool window of parent.
    void showPreferences(QWidget *parent = nullptr);
    // Null until showPreferences() made it, or after its parent took it down.
    JPPrefWindow *preferencesWindow() const;
    // The board colour chosen by the user becomes the plain colour; the board redraws.
    void changeColor(const QColor &color);
    // Back to the default plain colour; the board redraws.
    void resetColor();
    // The texture chosen in the window; the board redraws.
    void selectTexture(int index);
    // Tells the board and the application controller that the look changed ("wmjigsaw.switch").
    void redraw();

    JPPrefController();
    ~JPPrefController();
    JPPrefController(const JPPrefController &) = delete;
    JPPrefController &operator=(const JPPrefController &) = delete;

private:
    void syncCreationOptions() const;

    int64_t m_lastWebsiteDate = 0;
    int m_puzzleSource = 0;
    int m_category = 0;
    int m_puzzleSize = kDefaultPuzzleSize;
    bool m_rotatePieces = false;
    bool m_edgesOnly = false;
    bool m_advancedAndLocal = false;
    bool m_showToolbar = true;
    bool m_showStatusBar = true;
    bool m_showOverview = true;
    bool m_useColor = false;
    bool m_lockedDrag = false;
    bool m_playClick = true;
    bool m_simpleEdges = false;
    int m_textureIndex = kDefaultTexture;
    QColor m_backgroundColor;
    Kolor m_backgroundKolor = kDefaultBackgroundKolor;
    QString m_websiteZipName;
    QPointer<JPPrefWindow> m_window;
};
