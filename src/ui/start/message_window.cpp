#include "ui/start/message_window.h"

#include "ui/common/navigator.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

MessageWindow::MessageWindow(AppContext& context) : Form(context, WindowId::Messages)
{
    setWindowTitle(QStringLiteral("MESSAGGI"));
    messageLabel = new QLabel(this);
    messageLabel->setObjectName(QStringLiteral("Label1"));
    messageLabel->setWordWrap(true);
    messageLabel->setMinimumWidth(360);
    messageLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    exitButton = new QPushButton(QStringLiteral("EXIT"), this);
    exitButton->setObjectName(QStringLiteral("Command1"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(messageLabel, 1);
    layout->addWidget(exitButton, 0, Qt::AlignHCenter);
    connect(exitButton, &QPushButton::clicked, this, &Form::closeForm);
}

void MessageWindow::showMessage(const QString& title, const QString& text)
{
    setWindowTitle(title);
    messageLabel->setText(text);
    adjustSize();
    ctx.navigator.open(this);
}

void MessageWindow::onUnload()
{
    if (state.quitOnMessageClose == 1) {
        ctx.navigator.close(ctx.navigator.window(WindowId::Start));
        ctx.navigator.endTheProgram();
    }
}
