#pragma once

#include "support/widgets/cc_picture_collection.h"

#include <QFont>

class QPainter;

// The new-puzzle dialog's grid: cells of a fixed width of about 210 points, each with a
// picture of up to 200 points square and two caption lines, a selection drawn as a filled
// cell, separator lines between rows and a message while the grid is empty. Reloads on
// "wmjigsaw.reload". Main thread only.
class JPThumbnailView : public CCPictureCollection
{
    Q_OBJECT

public:
    static constexpr int kPictureSide = 200;
    static constexpr int kColumnWidth = kPictureSide + kGap;

    explicit JPThumbnailView(QWidget *parent = nullptr);

    GridSize gridSize() const override;
    // Also tells the delegate the selection changed, except while following a resize.
    void reloadData() override;
    // Also tells the delegate the selection changed.
    void selectIndexes(const QList<int> &indexes) override;
    void delayedReload();

    // What an empty grid says for the delegate's state; empty while there are pictures.
    QString emptyMessage() const;

    // Shared by every thumbnail grid, set by the first one made.
    static QFont captionFont();
    static int textHeight();

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void drawImage(QPainter &painter, int index, const QRectF &area);
    void drawEmptyMessage(QPainter &painter, const QString &message);
};
