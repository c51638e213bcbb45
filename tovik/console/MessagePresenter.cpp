#include "tovik/console/MessagePresenter.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdio>

namespace tovik {

MessageResult QtMessagePresenter::show(QWidget* parent, const QString& text, const QString& caption,
                                       MessageIcon icon, MessageButtons buttons) {
    QMessageBox box(parent);
    box.setWindowTitle(caption);
    box.setText(text);
    switch (icon) {
        case MessageIcon::Information:
            box.setIcon(QMessageBox::Information);
            break;
        case MessageIcon::Warning:
            box.setIcon(QMessageBox::Warning);
            break;
        case MessageIcon::None:
            break;
    }
    if (buttons == MessageButtons::OkCancel) {
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    box.setDefaultButton(QMessageBox::Ok);
    return box.exec() == QMessageBox::Ok ? MessageResult::Ok : MessageResult::Cancel;
}

MessageResult StreamMessagePresenter::show(QWidget*, const QString& text, const QString& caption,
                                           MessageIcon, MessageButtons) {
    std::fprintf(stderr, "%s: %s\n", caption.toUtf8().constData(), text.toUtf8().constData());
    std::fflush(stderr);
    return MessageResult::Ok;
}

MessageResult RecordingMessagePresenter::show(QWidget*, const QString& text, const QString& caption,
                                              MessageIcon icon, MessageButtons buttons) {
    messages.push_back({text, caption, icon, buttons});
    if (answers_.empty()) {
        return MessageResult::Ok;
    }
    const MessageResult r = answers_.front();
    answers_.pop_front();
    return r;
}

void PresenterMessageSink::showMessage(const std::string& text) {
    presenter_.show(QApplication::activeWindow(), QString::fromStdString(text),
                    QStringLiteral("Tovik"), MessageIcon::None, MessageButtons::Ok);
}

}  // namespace tovik
