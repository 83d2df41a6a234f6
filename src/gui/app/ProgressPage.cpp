#include "gui/app/ProgressPage.h"

#include "gui/common/Gauge.h"

#include <QLabel>
#include <QVBoxLayout>

namespace vextral::gui {

ProgressPage::ProgressPage(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("tabProgress"));
    auto* progress = new QVBoxLayout(this);
    progress->setContentsMargins(6, 8, 6, 6);
    progress->setSpacing(4);
    auto addLabel = [&](const QString& text) {
        auto* label = new QLabel(text, this);
        QFont bold = label->font();
        bold.setBold(true);
        label->setFont(bold);
        progress->addWidget(label);
    };
    auto addStatic = [&](const QString& name, const QString& text) {
        auto* label = new QLabel(text, this);
        label->setObjectName(name);
        label->setIndent(8);
        progress->addWidget(label);
        return label;
    };
    auto addGauge = [&](const QString& name) {
        auto* gauge = new Gauge(this);
        gauge->setObjectName(name);
        progress->addWidget(gauge);
        return gauge;
    };
    addLabel(QStringLiteral("Status:"));
    staSearch_ = addStatic(QStringLiteral("staSearch"), QString());
    progress->addSpacing(6);
    addLabel(QStringLiteral("Found:"));
    staFound_ = addStatic(QStringLiteral("staFound"), QStringLiteral("0"));
    staFile_ = addStatic(QStringLiteral("staFile"), QStringLiteral("Scanned:"));
    staIcon_ = addStatic(QStringLiteral("staIcon"), QStringLiteral("Extracted:"));
    progress->addSpacing(6);
    addLabel(QStringLiteral("Current Progress:"));
    gaugeCurrent_ = addGauge(QStringLiteral("GaugeCurrent"));
    progress->addSpacing(6);
    addLabel(QStringLiteral("Entire Progress:"));
    gaugeTotal_ = addGauge(QStringLiteral("GaugeTotal"));
    gaugeCurrent_->setFallbackAccessibleName(QStringLiteral("Current progress"));
    gaugeTotal_->setFallbackAccessibleName(QStringLiteral("Entire progress"));
    progress->addStretch();
}

void ProgressPage::setStatus(const QString& text) { staSearch_->setText(text); }
void ProgressPage::setFound(const QString& text) { staFound_->setText(text); }
void ProgressPage::setScanned(const QString& text) { staFile_->setText(text); }
void ProgressPage::setExtracted(const QString& text) { staIcon_->setText(text); }
void ProgressPage::setGaugeCurrent(int percent) { gaugeCurrent_->setValue(percent); }
void ProgressPage::setGaugeTotal(int percent) { gaugeTotal_->setValue(percent); }

} // namespace vextral::gui
