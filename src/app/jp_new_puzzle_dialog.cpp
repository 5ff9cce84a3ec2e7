#include "app/jp_new_puzzle_dialog.h"

#include "app/app_storage.h"
#include "app/jp_app_controller.h"
#include "app/jp_help_viewer.h"
#include "app/jp_thumbnail_view.h"
#include "app/jp_website_puzzles.h"
#include "imaging/cc_image.h"
#include "model/puzzle_folder.h"
#include "play/jp_pref_controller.h"
#include "support/cc_alert.h"
#include "support/cc_kernel.h"
#include "support/cc_notifier.h"
#include "support/helpers.h"
#include "support/paths.h"
#include "support/property_list.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QImageReader>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// The grid's own pictures for its action cells and for a website thumbnail that is missing.
QImage cellImage(const QString &name)
{
    static QHash<QString, QImage> images;
    if (!images.contains(name)) {
        QImage image(QSize(160, 160), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(QColor(120, 120, 120), 6, Qt::SolidLine, Qt::RoundCap));
        painter.setBrush(QColor(235, 235, 235));
        painter.drawRoundedRect(QRectF(10, 10, 140, 140), 18, 18);
        if (name == QLatin1String("AddFile")) {
            painter.drawLine(QPointF(80, 45), QPointF(80, 115));
            painter.drawLine(QPointF(45, 80), QPointF(115, 80));
        } else if (name == QLatin1String("Refresh")) {
            painter.setBrush(Qt::NoBrush);
            painter.drawArc(QRectF(45, 45, 70, 70), 30 * 16, 300 * 16);
            painter.setBrush(QColor(120, 120, 120));
            painter.drawPolygon(QPolygonF({QPointF(108, 38), QPointF(122, 62), QPointF(96, 62)}));
        } else {
            painter.drawLine(QPointF(55, 55), QPointF(105, 105));
            painter.drawLine(QPointF(105, 55), QPointF(55, 105));
        }
        painter.end();
        images.insert(name, image);
    }
    return images.value(name);
}

QImage readThumbnail(const QString &path)
{
    if (path.isEmpty())
        return QImage();
    QImageReader reader(path);
    reader.setAutoTransform(true);
    // A thumbnail is small; anything claiming more is not one.
    reader.setAllocationLimit(32);
    return reader.read();
}

}

const QList<int> &JPNewPuzzleDialog::pieceCounts()
{
    static const QList<int> counts{50, 100, 150, 200, 300, 400, 500, 750, 1000, 1500, 2000, 3000, 4000, 5000};
    return counts;
}

const QStringList &JPNewPuzzleDialog::categoryNames()
{
    static const QStringList names{QString(),
                                   QStringLiteral("Animals"),
                                   QStringLiteral("Flowers"),
                                   QStringLiteral("Manmade"),
                                   QStringLiteral("Mountains"),
                                   QStringLiteral("Nature"),
                                   QStringLiteral("Pets"),
                                   QStringLiteral("Tropical")};
    return names;
}

void JPNewPuzzleDialog::selectNewPuzzle(QWidget *parent)
{
    JPNewPuzzleDialog dialog(parent);
    dialog.exec();
}

JPNewPuzzleDialog::JPNewPuzzleDialog(QWidget *parent)
    : QDialog(parent)
    , m_prefController(JPPrefController::sharedInstance())
{
    setWindowTitle(QStringLiteral("New Puzzle"));
    m_website = std::make_unique<JPWebsitePuzzles>(m_prefController, g_puzzlePath);
    connect(m_website.get(), &JPWebsitePuzzles::spinnerChanged, this, &JPNewPuzzleDialog::setSpinning);
    connect(m_website.get(), &JPWebsitePuzzles::reloadGrid, this, &JPNewPuzzleDialog::reloadGrid);
    connect(m_website.get(), &JPWebsitePuzzles::catalogueLoaded, this, [this] {
        m_sourceOfDicts = NoSource;
        changeSource();
    });
    connect(m_website.get(), &JPWebsitePuzzles::pictureReady, this,
            [this](const QString &path, const PuzzleCandidate &candidate) { selectPuzzle(path, candidate); });
    connect(m_website.get(), &JPWebsitePuzzles::downloadFailed, this,
            [](const QString &message, const QString &information) {
                CCAlert::sharedInstance()->giveAlertMessage(message, information);
            });
    buildWindow();
    m_advancedAndLocalButton->setVisible(CCKernel::sharedInstance()->isAdvancedUser());
    changeSource();
    if (QPushButton *cell = sizeCell(m_prefController->puzzleSize()))
        cell->setChecked(true);
    m_awakened = true;
}

JPNewPuzzleDialog::~JPNewPuzzleDialog()
{
    // A late download completion must find nothing to act on.
    m_website->cancelDownload();
    m_thumbnailView->setDelegate(nullptr);
}

void JPNewPuzzleDialog::buildWindow()
{
    m_sourceMenu = new QComboBox(this);
    m_sourceMenu->addItems({QStringLiteral("Jigsaw Pictures"), QStringLiteral("Wrenmoor Website"),
                            QStringLiteral("Completed Puzzles"), QStringLiteral("My Pictures"),
                            QStringLiteral("Clipboard")});
    m_sourceMenu->setCurrentIndex(std::clamp(m_prefController->puzzleSource(), 0, 4));
    m_categoryMenu = new QComboBox(this);
    m_categoryMenu->addItem(QStringLiteral("All Pictures"));
    for (qsizetype i = 1; i < categoryNames().size(); ++i)
        m_categoryMenu->addItem(categoryNames()[i]);
    m_categoryMenu->setCurrentIndex(std::clamp(m_prefController->category(), 0, 7));
    connect(m_sourceMenu, &QComboBox::activated, this, [this](int index) {
        m_prefController->setPuzzleSource(index);
        changeSource();
    });
    connect(m_categoryMenu, &QComboBox::activated, this, [this](int index) {
        m_prefController->setCategory(index);
        changeSource();
    });
    m_clearButton = new QPushButton(QStringLiteral("Clear List"), this);
    m_clearButton->setAutoDefault(false);
    connect(m_clearButton, &QPushButton::clicked, this, &JPNewPuzzleDialog::clearList);
    m_spinner = new QProgressBar(this);
    m_spinner->setRange(0, 0);
    m_spinner->setMaximumWidth(80);
    m_spinner->setTextVisible(false);
    m_spinner->hide();
    m_advancedAndLocalButton = new QCheckBox(QStringLiteral("Local pictures"), this);
    m_advancedAndLocalButton->setChecked(m_prefController->advancedAndLocal());
    connect(m_advancedAndLocalButton, &QCheckBox::toggled, this,
            [this](bool on) { m_prefController->setAdvancedAndLocal(on); });

    auto *top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("Pictures:"), this));
    top->addWidget(m_sourceMenu);
    top->addSpacing(12);
    top->addWidget(new QLabel(QStringLiteral("Category:"), this));
    top->addWidget(m_categoryMenu);
    top->addStretch(1);
    top->addWidget(m_spinner);
    top->addWidget(m_advancedAndLocalButton);
    top->addWidget(m_clearButton);

    m_thumbnailView = new JPThumbnailView;
    m_thumbnailView->setDelegate(this);
    m_countLabel = new QLabel(this);
    m_countLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    m_sizeMatrix = new QButtonGroup(this);
    m_sizeMatrix->setExclusive(true);
    auto *sizes = new QGridLayout;
    sizes->setHorizontalSpacing(4);
    sizes->setVerticalSpacing(4);
    const int columns = int((pieceCounts().size() + 1) / 2);
    for (qsizetype i = 0; i < pieceCounts().size(); ++i) {
        const int count = pieceCounts()[i];
        auto *cell = new QPushButton(QString::number(count), this);
        cell->setCheckable(true);
        cell->setAutoDefault(false);
        cell->setMinimumWidth(56);
        m_sizeMatrix->addButton(cell, count);
        sizes->addWidget(cell, int(i) / columns, int(i) % columns);
    }
    connect(m_sizeMatrix, &QButtonGroup::idClicked, this, [this] { changeSize(); });

    auto *help = new QPushButton(QStringLiteral("?"), this);
    help->setAutoDefault(false);
    help->setFixedWidth(32);
    help->setToolTip(QStringLiteral("How to choose a picture"));
    connect(help, &QPushButton::clicked, this, &JPNewPuzzleDialog::giveHelp);
    auto *cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setAutoDefault(false);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    m_okButton = new QPushButton(QStringLiteral("OK"), this);
    m_okButton->setDefault(true);
    m_okButton->setEnabled(false);
    connect(m_okButton, &QPushButton::clicked, this, &JPNewPuzzleDialog::ok);

    auto *bottom = new QHBoxLayout;
    bottom->addWidget(help, 0, Qt::AlignBottom);
    bottom->addSpacing(8);
    auto *sizeBox = new QVBoxLayout;
    sizeBox->addWidget(new QLabel(QStringLiteral("Pieces:"), this));
    sizeBox->addLayout(sizes);
    bottom->addLayout(sizeBox);
    bottom->addStretch(1);
    bottom->addWidget(cancel, 0, Qt::AlignBottom);
    bottom->addWidget(m_okButton, 0, Qt::AlignBottom);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_thumbnailView->scrollView(), 1);
    layout->addWidget(m_countLabel);
    layout->addLayout(bottom);
    resize(900, 680);
}

void JPNewPuzzleDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    m_thumbnailView->setFocus();
}

bool JPNewPuzzleDialog::isButton(const Candidate &candidate)
{
    return candidate && candidate->button;
}

bool JPNewPuzzleDialog::loadingWebsiteInfo() const
{
    return m_website->loadingWebsiteInfo();
}

void JPNewPuzzleDialog::changeSource()
{
    const int source = std::clamp(m_prefController->puzzleSource(), 0, 4);
    m_okButton->setEnabled(false);
    m_canClearList = source == Completed || source == OwnFiles;
    m_showCategory = source <= Completed;
    if (!m_showCategory)
        m_prefController->setCategory(0);
    m_sourceMenu->setCurrentIndex(source);
    m_categoryMenu->setCurrentIndex(std::clamp(m_prefController->category(), 0, 7));
    m_categoryMenu->setEnabled(m_showCategory);
    m_clearButton->setVisible(m_canClearList);

    if (source == OwnFiles && m_sourceOfDicts == NoSource) {
        raise();
        activateWindow();
    }
    if (source != m_sourceOfDicts || (source == Website && CCKernel::sharedInstance()->isAdvancedUser())) {
        m_sourceOfDicts = source;
        identifyPuzzles();
    }

    const int category = std::clamp(m_prefController->category(), 0, 7);
    m_filteredDicts.clear();
    for (const Candidate &candidate : m_puzzleDicts)
        if (category == 0 || isButton(candidate) || candidate->cat == categoryNames()[category])
            m_filteredDicts.append(candidate);
    std::stable_sort(m_filteredDicts.begin(), m_filteredDicts.end(), [](const Candidate &a, const Candidate &b) {
        if (isButton(a) != isButton(b))
            return isButton(b);
        return a->name < b->name;
    });

    m_suppressButton = true;
    reloadGrid();
    m_suppressButton = false;
    updateCount();
}

void JPNewPuzzleDialog::identifyPuzzles()
{
    m_puzzleDicts.clear();
    switch (m_sourceOfDicts) {
    case BuiltIn:
        if (m_builtinDicts.isEmpty()) {
            const std::optional<QVariant> list =
                ReadPropertyList(ResourcePath(QStringLiteral("pictures/Builtin.plist")));
            if (list && list->typeId() == QMetaType::QVariantList)
                for (const QVariant &entry : list->toList())
                    if (entry.typeId() == QMetaType::QVariantMap)
                        m_builtinDicts.append(
                            std::make_shared<PuzzleCandidate>(PuzzleCandidate::fromPropertyList(entry.toMap())));
        }
        m_puzzleDicts = m_builtinDicts;
        break;
    case Website: {
        QList<PuzzleCandidate> found;
        m_website->identifyWebsitePuzzles(found);
        for (const PuzzleCandidate &each : found)
            m_puzzleDicts.append(std::make_shared<PuzzleCandidate>(each));
        break;
    }
    case Completed: {
        const QStringList &completed = JPAppController::sharedInstance()->completedPuzzlePaths();
        for (qsizetype i = completed.size() - 1; i >= 0; --i)
            addDictForCompletedPuzzle(completed[i]);
        break;
    }
    case OwnFiles:
        for (qsizetype i = g_imageFilePaths.size() - 1; i >= 0; --i) {
            QString message;
            if (!addDictForImageFile(g_imageFilePaths[i], &message))
                g_imageFilePaths.removeAt(i);
        }
        m_puzzleDicts.append(actionCell(QStringLiteral("Select a file…"), cellImage(QStringLiteral("AddFile"))));
        break;
    case Clipboard:
        if (Candidate copied = clipboardCandidate()) {
            m_puzzleDicts.append(copied);
            m_prefController->setCategory(0);
        }
        m_puzzleDicts.append(actionCell(QStringLiteral("Refresh"), cellImage(QStringLiteral("Refresh"))));
        break;
    default:
        break;
    }
}

JPNewPuzzleDialog::Candidate JPNewPuzzleDialog::actionCell(const QString &name, const QImage &image) const
{
    auto cell = std::make_shared<PuzzleCandidate>();
    cell->name = name;
    cell->button = true;
    cell->thumb = image;
    return cell;
}

JPNewPuzzleDialog::Candidate JPNewPuzzleDialog::clipboardCandidate() const
{
    const QImage image = QGuiApplication::clipboard()->image();
    if (image.isNull() || SquaresInPicture(image.size()) < kMinimumSquares)
        return nullptr;
    auto copied = std::make_shared<PuzzleCandidate>();
    copied->name = QStringLiteral("Copied Image");
    copied->size = StringFromSize(image.size());
    copied->image = image;
    return copied;
}

void JPNewPuzzleDialog::addDictForCompletedPuzzle(const QString &folder)
{
    const std::optional<QVariantMap> info =
        ReadPropertyListDictionary(QDir(folder).filePath(QStringLiteral("info.plist")));
    if (!info || info->isEmpty())
        return;
    // A path inside a stored description is not trusted: the folder itself is started again.
    auto candidate = std::make_shared<PuzzleCandidate>(PuzzleCandidate::fromPropertyList(*info));
    candidate->file = folder;
    // The stored picture tells the size when the description doesn't.
    if (candidate->pictureSize().isEmpty())
        candidate->size = StringFromSize(DeclaredPictureSize(QDir(folder).filePath(QStringLiteral("image.jpg"))));
    candidate->thumb = readThumbnail(QDir(folder).filePath(QStringLiteral("thumbnail.jpg")));
    if (!candidate->thumb.isNull())
        m_puzzleDicts.append(candidate);
}

bool JPNewPuzzleDialog::addDictForImageFile(const QString &path, QString *message)
{
    QSize size;
    QImage thumb = CachedImageForFile(path, &size);
    if (thumb.isNull() || size.isEmpty()) {
        thumb = CacheThumbnailForFile(path, &size, message);
        if (thumb.isNull())
            return false;
    }
    if (SquaresInPicture(size) < kMinimumSquares) {
        // A picture that is never listed keeps no thumbnail in the cache.
        ClearCachedThumbnails({path});
        *message =
            QStringLiteral("The image file \"%1\" is too small to use as a puzzle.").arg(QFileInfo(path).fileName());
        return false;
    }
    auto candidate = std::make_shared<PuzzleCandidate>();
    candidate->name = fileNameMinusExtension(path);
    candidate->file = path;
    candidate->size = StringFromSize(size);
    candidate->thumb = thumb;
    m_puzzleDicts.append(candidate);
    return true;
}

void JPNewPuzzleDialog::reloadGrid()
{
    m_thumbnailView->reloadData();
}

void JPNewPuzzleDialog::setSpinning(bool on)
{
    m_spinner->setVisible(on);
}

JPNewPuzzleDialog::Candidate JPNewPuzzleDialog::selectedCandidate() const
{
    const QList<int> selected = m_thumbnailView->selectedIndexes();
    if (selected.isEmpty() || selected.first() < 0 || selected.first() >= m_filteredDicts.size())
        return nullptr;
    return m_filteredDicts[selected.first()];
}

int JPNewPuzzleDialog::numberOfPicturesInCollection(CCPictureCollection *)
{
    return int(m_filteredDicts.size());
}

QImage JPNewPuzzleDialog::pictureCollection(CCPictureCollection *, int index)
{
    if (index < 0 || index >= m_filteredDicts.size())
        return QImage();
    PuzzleCandidate &candidate = *m_filteredDicts[index];
    if (!candidate.thumb.isNull())
        return candidate.thumb;
    if (!candidate.image.isNull())
        return candidate.image;
    QImage thumb;
    if (m_sourceOfDicts == Website) {
        thumb = m_website->thumbnailFor(candidate);
        if (thumb.isNull())
            return cellImage(QStringLiteral("Missing"));
    } else if (m_sourceOfDicts == BuiltIn) {
        if (!candidate.file.isEmpty())
            thumb = readThumbnail(
                ResourcePath(QStringLiteral("pictures/") + candidate.file + QStringLiteral("_thumb.jpg")));
    }
    candidate.thumb = thumb;
    return thumb;
}

QString JPNewPuzzleDialog::pictureCollection(CCPictureCollection *, int index, int labelIndex)
{
    if (index < 0 || index >= m_filteredDicts.size())
        return QString();
    return labelIndex == 0 ? m_filteredDicts[index]->name : m_filteredDicts[index]->desc;
}

int JPNewPuzzleDialog::pictureCollectionImageSize(CCPictureCollection *)
{
    return 200;
}

bool JPNewPuzzleDialog::pictureCollectionLoadingWebsiteInfo(CCPictureCollection *)
{
    return loadingWebsiteInfo();
}

void JPNewPuzzleDialog::pictureCollectionDoubleClick(CCPictureCollection *)
{
    if (m_okButton->isEnabled())
        ok();
}

void JPNewPuzzleDialog::pictureCollectionSelectionChanged(CCPictureCollection *)
{
    Candidate candidate = selectedCandidate();
    if (!candidate) {
        m_okButton->setEnabled(false);
        return;
    }
    if (isButton(candidate)) {
        if (m_suppressButton) {
            m_suppressButton = false;
            m_okButton->setEnabled(false);
            return;
        }
        if (m_sourceOfDicts == Clipboard)
            refreshClipboard();
        else if (m_sourceOfDicts == OwnFiles)
            addImageFiles(QFileDialog::getOpenFileNames(
                this, QStringLiteral("Select one or more pictures for new puzzles"), QDir::homePath(),
                QStringLiteral("Pictures (*.%1)").arg(CCImage::fileExtensions().join(QStringLiteral(" *.")))));
        candidate = selectedCandidate();
        if (!candidate || isButton(candidate)) {
            m_okButton->setEnabled(false);
            return;
        }
    }
    // A reload queued by a refresh may have left the guard up; a picture is selected now.
    m_suppressButton = false;
    chooseCountFor(candidate);
}

void JPNewPuzzleDialog::chooseCountFor(const Candidate &candidate)
{
    const QSize pictureSize = candidate->pictureSize();
    const int preferred =
        m_awakened && m_sizeMatrix->checkedId() > 0 ? m_sizeMatrix->checkedId() : m_prefController->puzzleSize();
    int chosen = 0;
    bool preferredEnabled = false;
    for (qsizetype i = pieceCounts().size() - 1; i >= 0; --i) {
        const int count = pieceCounts()[i];
        const bool enabled = CanCutPicture(pictureSize, count);
        m_sizeMatrix->button(count)->setEnabled(enabled);
        if (enabled && chosen == 0)
            chosen = count;
        if (enabled && count == preferred)
            preferredEnabled = true;
    }
    if (preferredEnabled)
        chosen = preferred;
    m_prefController->setPuzzleSize(chosen);
    if (QAbstractButton *cell = m_sizeMatrix->button(chosen))
        cell->setChecked(true);
    m_okButton->setEnabled(chosen != 0);
}

void JPNewPuzzleDialog::changeSize()
{
    m_prefController->setPuzzleSize(m_sizeMatrix->checkedId());
    if (Candidate candidate = selectedCandidate(); candidate && !isButton(candidate))
        chooseCountFor(candidate);
}

void JPNewPuzzleDialog::addImageFiles(const QStringList &files)
{
    int added = -1;
    for (const QString &file : files) {
        QString message;
        const qsizetype before = m_puzzleDicts.size();
        if (!addDictForImageFile(file, &message)) {
            CCAlert::sharedInstance()->giveAlertMessage(QStringLiteral("Can't open picture."), message);
            continue;
        }
        g_imageFilePaths.append(file);
        const Candidate candidate = m_puzzleDicts[before];
        const qsizetype at = m_filteredDicts.isEmpty() ? 0 : m_filteredDicts.size() - 1;
        m_filteredDicts.insert(at, candidate);
        added = int(at);
    }
    if (added < 0)
        return;
    m_suppressButton = true;
    reloadGrid();
    m_suppressButton = false;
    m_thumbnailView->selectIndex(added);
    updateCount();
}

void JPNewPuzzleDialog::refreshClipboard()
{
    identifyPuzzles();
    const Candidate copied = m_puzzleDicts.size() > 1 ? m_puzzleDicts.first() : nullptr;
    const bool hadPicture = !m_filteredDicts.isEmpty() && !isButton(m_filteredDicts.first());
    if (copied) {
        if (hadPicture)
            m_filteredDicts[0] = copied;
        else
            m_filteredDicts.insert(0, copied);
    } else if (hadPicture) {
        m_filteredDicts.removeFirst();
    }
    m_suppressButton = true;
    CCNotifier::sharedInstance()->postWhenIdle(QLatin1String(kReloadNotification));
    updateCount();
}

void JPNewPuzzleDialog::clearList()
{
    if (m_sourceOfDicts == OwnFiles) {
        ClearCachedThumbnails(g_imageFilePaths);
        g_imageFilePaths.clear();
    } else if (m_sourceOfDicts == Completed) {
        JPAppController::sharedInstance()->clearCompletedPuzzles();
    } else {
        return;
    }
    m_suppressButton = true;
    m_sourceOfDicts = NoSource;
    changeSource();
    m_suppressButton = false;
}

void JPNewPuzzleDialog::ok()
{
    const Candidate candidate = selectedCandidate();
    if (!candidate || isButton(candidate))
        return;
    const QString &file = candidate->file;
    switch (m_sourceOfDicts) {
    case Website:
        m_website->downloadFile(file + QStringLiteral(".jpg"), *candidate);
        return;
    case BuiltIn: {
        const QString path =
            file.isEmpty() ? QString() : ResourcePath(QStringLiteral("pictures/") + file + QStringLiteral(".jpg"));
        if (path.isEmpty())
            return;
        selectPuzzle(path, *candidate);
        return;
    }
    default:
        selectPuzzle(file, *candidate);
        return;
    }
}

void JPNewPuzzleDialog::selectPuzzle(const QString &path, const PuzzleCandidate &candidate)
{
    const QVariantMap dict = candidate.puzzleDict(path);
    accept();
    hide();
    QMetaObject::invokeMethod(
        JPAppController::sharedInstance(), [dict] { JPAppController::sharedInstance()->createPuzzle(dict); },
        Qt::QueuedConnection);
}

void JPNewPuzzleDialog::giveHelp()
{
    JPHelpViewer::sharedInstance()->showTopic(JPHelpViewer::TopicChoosingPicture);
}

void JPNewPuzzleDialog::updateCount()
{
    qsizetype shown = m_filteredDicts.size();
    if (m_sourceOfDicts == OwnFiles || m_sourceOfDicts == Clipboard)
        shown = std::max<qsizetype>(0, shown - 1);
    if (shown == 0)
        m_countString.clear();
    else if (shown == 1)
        m_countString = QStringLiteral("➜ 1 puzzle");
    else
        m_countString = QStringLiteral("➜ %1 puzzles").arg(shown);
    m_countLabel->setText(m_countString);
}

QList<PuzzleCandidate> JPNewPuzzleDialog::shownPuzzles() const
{
    QList<PuzzleCandidate> shown;
    for (const Candidate &candidate : m_filteredDicts)
        shown.append(*candidate);
    return shown;
}

QPushButton *JPNewPuzzleDialog::sizeCell(int count) const
{
    return qobject_cast<QPushButton *>(m_sizeMatrix->button(count));
}
