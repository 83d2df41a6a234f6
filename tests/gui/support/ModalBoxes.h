#pragma once

// Answers the modal boxes a test opens through the real QtPrompts, from a
// timer that runs inside the box's own event loop.
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace vextral::test {

// Answers the next modal box of type Box with act, which should accept,
// reject or close it. Nothing blocks for long: a modal box of another type is
// closed as a failure, so is a box that does not open within five seconds,
// and any modal box still open ten seconds after the box was answered (act
// left it open, or another box followed).
template <typename Box>
void answerNextModal(std::function<void(Box&)> act)
{
    auto* poll = new QTimer;
    auto waited = std::make_shared<QElapsedTimer>();
    waited->start();
    QObject::connect(poll, &QTimer::timeout, [poll, waited, act] {
        QWidget* modal = QApplication::activeModalWidget();
        auto* box = qobject_cast<Box*>(modal);
        if (!modal && waited->elapsed() < 5000) return;
        poll->stop();
        poll->deleteLater();
        if (!box) {
            ADD_FAILURE() << "no " << Box::staticMetaObject.className() << " opened" << (modal ? ", but a " : "")
                          << (modal ? modal->metaObject()->className() : "");
            if (modal) modal->close();
            return;
        }
        act(*box);
        QTimer::singleShot(10000, [] {
            if (QPointer<QWidget> left = QApplication::activeModalWidget()) {
                ADD_FAILURE() << "a modal box stayed open: " << left->metaObject()->className();
                left->close();
            }
        });
    });
    poll->start(20);
}

// Picks the entry of a file dialog's file type box that shows text, with the
// arrow keys, as a user does. False when the box has no such entry.
inline bool chooseFileType(QFileDialog& dialog, const QString& text)
{
    auto* types = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    if (!types) return false;
    const int target = types->findText(text);
    if (target < 0) return false;
    for (int step = 0; step < types->count() && types->currentIndex() != target; ++step) {
        QTest::keyClick(types, types->currentIndex() < target ? Qt::Key_Down : Qt::Key_Up);
    }
    return types->currentIndex() == target;
}

// Types name into a file dialog's file name box, as a user does, and accepts.
// The box must have the keyboard focus: typing then drops the selection of
// the file the dialog opened on, which would otherwise be the answer.
inline void typeNameAndAccept(QFileDialog& dialog, const QString& name)
{
    auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    if (!edit) {
        ADD_FAILURE() << "the dialog has no file name box";
        dialog.reject();
        return;
    }
    dialog.activateWindow();
    edit->setFocus(Qt::MouseFocusReason);
    EXPECT_TRUE(QTest::qWaitFor([edit] { return edit->hasFocus(); }, 3000));
    edit->setText(name);
    static_cast<QDialog&>(dialog).accept(); // what the Save or Open button does
}

} // namespace vextral::test
