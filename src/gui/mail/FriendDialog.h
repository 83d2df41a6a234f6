#pragma once

#include <QDialog>

#include <functional>
#include <memory>
#include <optional>
#include <string>

class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace vextral::net {
class MoxSmtp;
}

namespace vextral::gui {

class Prompts;

// "Email your friends": a short mail with files attached, sent through the
// SMTP server of the Internet settings (read from Option.ini at every Send).
// The status label follows the encoding and the sending; Send is disabled
// while a send runs; a failed send shows the server's answer in the status
// label and an error box. The connection stays open between two sends of the
// same dialog and is closed with QUIT when the dialog closes. A password for
// the server's user name is asked at the first send and kept in memory only.
class FriendDialog final : public QDialog {
    Q_OBJECT
public:
    // showDialog shows a dialog opened from this one (the options dialog)
    // beside it; reload runs after the options dialog has written the file.
    FriendDialog(std::string settingsPath, Prompts& prompts, std::function<void(QDialog*)> showDialog,
                 std::function<void()> reload, QWidget* parent = nullptr);
    ~FriendDialog() override;

public slots:
    void addAttachment();
    void deleteAttachment();
    void send();
    void openInternetSettings();

protected:
    void hideEvent(QHideEvent* e) override;

private:
    void showTotal();
    void setStatus(const QString& text);

    std::string settingsPath_;
    Prompts& prompts_;
    std::function<void(QDialog*)> showDialog_;
    std::function<void()> reload_;
    // Shared with a send under way, which outlives the dialog should it close meanwhile.
    std::shared_ptr<net::MoxSmtp> netSmtp_;
    std::optional<std::string> password_;
    std::string passwordFor_; // the server and user name the password was given for
    bool sending_ = false;

    QLineEdit* editTo_ = nullptr;
    QLineEdit* editSubject_ = nullptr;
    QPlainTextEdit* memText_ = nullptr;
    QLabel* labStatus_ = nullptr;
    QListWidget* lstWallpaper_ = nullptr;
    QLabel* labTotal_ = nullptr;
    QRadioButton* mime_ = nullptr;
    QRadioButton* uuEncode_ = nullptr;
    QPushButton* spbSend_ = nullptr;
};

} // namespace vextral::gui
