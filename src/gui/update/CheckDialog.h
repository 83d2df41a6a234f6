#pragma once

#include "core/ProductInfo.h"

#include <QDialog>

#include <memory>
#include <string>

class QLabel;
class QListWidget;
class QPushButton;

namespace vextral::net {
class UpdateCheck;
}

namespace vextral::gui {

class Prompts;

// "Check for the latest version": Check fetches the update file, keeps it
// (with every body fetched before by this dialog) as update.ini in the
// program folder and shows the latest version and release date it names
// beside the current ones; Download opens the download location it names in
// the desktop's browser. The Internet settings (time limit, proxy) are read
// from Option.ini when the dialog is made. Check is disabled while a check
// runs; events are handled meanwhile, and closing the dialog stops it.
class CheckDialog final : public QDialog {
    Q_OBJECT
public:
    CheckDialog(const std::string& programFolder, const std::string& settingsPath, Prompts& prompts,
                QWidget* parent = nullptr, std::string url = product::kUpdateUrl);
    ~CheckDialog() override;

    // The download location read at the last check.
    const std::string& location() const { return fLocation_; }

public slots:
    void check();
    void download();

protected:
    void hideEvent(QHideEvent* e) override;

private:
    Prompts& prompts_;
    std::string url_;
    std::shared_ptr<net::UpdateCheck> check_;
    std::string fLocation_;
    bool running_ = false;
    QLabel* labLatestVer_ = nullptr;
    QLabel* labLatestDate_ = nullptr;
    QListWidget* lstCheck_ = nullptr;
    QPushButton* spbCheck_ = nullptr;
    QPushButton* spbDownload_ = nullptr;
};

} // namespace vextral::gui
