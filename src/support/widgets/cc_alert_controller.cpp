#include "support/widgets/cc_alert_controller.h"

#include <QApplication>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QThread>
#include <QVBoxLayout>
#include <QWindow>

namespace {

constexpr int kTextWidth = 340;
constexpr int kIconSize = 64;
constexpr std::array<int, 3> kButtonTags = {kAlertFirstButton, kAlertSecondButton, kAlertThirdButton};

// Button titles are plain text; a lone "&" would otherwise become a mnemonic.
QString buttonTitle(const QString &text)
{
    QString escaped = text;
    return escaped.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

QLabel *makeTextField(QWidget *parent)
{
    auto *label = new QLabel(parent);
    // File names and server texts end up here; never let them be read as markup.
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setFixedWidth(kTextWidth);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

QIcon alertIcon(const QWidget *widget)
{
    const QIcon icon = QApplication::windowIcon();
    return icon.isNull() ? widget->style()->standardIcon(QStyle::SP_MessageBoxInformation) : icon;
}

QWidget *hostWidget(QObject *host)
{
    if (auto *widget = qobject_cast<QWidget *>(host))
        return widget->window();
    if (auto *window = qobject_cast<QWindow *>(host)) {
        for (QWidget *candidate : QApplication::topLevelWidgets()) {
            if (candidate->windowHandle() == window)
                return candidate;
        }
    }
    return nullptr;
}

class WidgetAlertPresenter : public CCAlertPresenter
{
public:
    std::optional<int> runModal(const CCAlertRequest &request, bool *suppress) override
    {
        if (!canShow())
            return std::nullopt;
        CCAlertController alert(request, suppress, QApplication::activeWindow());
        return alert.runModal();
    }

    bool beginSheet(const CCAlertRequest &request, QObject *host, std::function<void(int, bool)> done) override
    {
        if (!canShow())
            return false;
        auto *alert = new CCAlertController(request);
        alert->beginSheetModalForWindow(hostWidget(host), [alert, done](int tag) {
            done(tag, alert->suppressState());
            alert->deleteLater();
        });
        return true;
    }

private:
    static bool canShow()
    {
        return qobject_cast<QApplication *>(QCoreApplication::instance())
            && QThread::currentThread() == QCoreApplication::instance()->thread() && !QCoreApplication::closingDown();
    }
};

}

CCAlertController::CCAlertController(const CCAlertRequest &request, bool *suppressFlag, QWidget *parent)
    : QDialog(parent)
    , m_suppressFlag(suppressFlag)
{
    setWindowTitle(QApplication::applicationDisplayName());
    // The alert closes only through its buttons, never from the title bar.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);

    auto *icon = new QLabel(this);
    icon->setPixmap(alertIcon(this).pixmap(kIconSize, kIconSize));
    icon->setAlignment(Qt::AlignTop);

    m_title = makeTextField(this);
    QFont bold = m_title->font();
    bold.setBold(true);
    m_title->setFont(bold);
    m_title->setText(request.message);

    m_info = makeTextField(this);
    m_info->setText(request.moreInfo);
    m_info->setVisible(!request.moreInfo.isEmpty());

    m_suppress = new QCheckBox(this);
    m_suppress->setText(request.buttonStrings.size() < 2 ? tr("Don't show this message again") : tr("Don't ask again"));
    m_suppress->setVisible(request.showSuppressButton);

    auto *buttons = new QHBoxLayout;
    for (int i = 0; i < 3; ++i) {
        auto *button = new QPushButton(this);
        button->setAutoDefault(false);
        button->setVisible(i < std::max<qsizetype>(1, request.buttonStrings.size()));
        button->setText(buttonTitle(i < request.buttonStrings.size() ? request.buttonStrings.at(i) : tr("OK")));
        connect(button, &QPushButton::clicked, this, [this, button] { closeAlert(button); });
        m_buttons[size_t(i)] = button;
    }
    m_thirdButtonTitle = request.buttonStrings.value(2);
    m_buttons[0]->setDefault(true);
    // Button 1 sits at the right edge, button 3 apart at the left.
    buttons->addWidget(m_buttons[2]);
    buttons->addStretch(1);
    buttons->addWidget(m_buttons[1]);
    buttons->addWidget(m_buttons[0]);

    auto *text = new QVBoxLayout;
    text->setSpacing(12);
    text->addWidget(m_title);
    text->addWidget(m_info);
    text->addWidget(m_suppress);

    auto *top = new QHBoxLayout;
    top->setSpacing(16);
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addLayout(text);

    auto *layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->setContentsMargins(20, 20, 20, 16);
    layout->setSpacing(20);
    layout->addLayout(top);
    layout->addLayout(buttons);
}

bool CCAlertController::isButtonShown(int index) const
{
    return !m_buttons.at(size_t(index))->isHidden();
}

bool CCAlertController::suppressState() const
{
    return !m_suppress->isHidden() && m_suppress->isChecked();
}

int CCAlertController::runModal()
{
    setWindowModality(Qt::ApplicationModal);
    CCAlert::sharedInstance()->alertShown();
    const int tag = exec();
    CCAlert::sharedInstance()->alertClosed();
    return tag;
}

void CCAlertController::beginSheetModalForWindow(QWidget *host, std::function<void(int)> completionHandler)
{
    if (host) {
        setParent(host, windowFlags());
        setWindowModality(Qt::WindowModal);
    } else {
        setWindowModality(Qt::ApplicationModal);
    }
    CCAlert::sharedInstance()->alertShown();
    connect(this, &QDialog::finished, this, [completionHandler](int tag) {
        CCAlert::sharedInstance()->alertClosed();
        if (completionHandler)
            completionHandler(tag);
    });
    open();
}

void CCAlertController::closeAlert(QAbstractButton *sender)
{
    for (int i = 0; i < 3; ++i) {
        if (m_buttons[size_t(i)] != sender)
            continue;
        if (m_suppressFlag)
            *m_suppressFlag = suppressState();
        done(kButtonTags[size_t(i)]);
        return;
    }
}

void CCAlertController::keyPressEvent(QKeyEvent *event)
{
    const int key = event->key();
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier);
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && modifiers == Qt::NoModifier) {
        closeAlert(m_buttons[0]);
        return;
    }
    if (key == Qt::Key_Escape && modifiers == Qt::NoModifier) {
        if (isButtonShown(1))
            closeAlert(m_buttons[1]);
        return;
    }
    if (modifiers == Qt::ControlModifier && isButtonShown(2) && key > 0 && key <= 0xFFFF) {
        const QString &title = m_thirdButtonTitle;
        if (!title.isEmpty() && QChar(char16_t(key)).toCaseFolded() == title.at(0).toCaseFolded()) {
            closeAlert(m_buttons[2]);
            return;
        }
    }
    QDialog::keyPressEvent(event);
}

void CCAlertController::reject()
{
    // Escape and the window manager's close request answer as button 2; an alert without
    // one stays until a button is chosen, so its only button can't be chosen by accident.
    if (isButtonShown(1))
        closeAlert(m_buttons[1]);
}

void InstallAlertPresenter()
{
    static WidgetAlertPresenter presenter;
    CCAlert::sharedInstance()->setPresenter(&presenter);
}
