// The gauge: drawn in its palette's colours, and seen by screen readers as a
// progress bar that reports its value.
#include "gui/common/Gauge.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QImage>
#include <QPalette>

#include <gtest/gtest.h>

#include <cstdlib>

using vextral::gui::Gauge;

namespace {

// A dark theme's colours, each distinct from the others and from white and
// pure blue.
QPalette darkPalette()
{
    QPalette p;
    p.setColor(QPalette::Window, QColor(0x30, 0x30, 0x30));
    p.setColor(QPalette::WindowText, QColor(0xE0, 0xE0, 0xE0));
    p.setColor(QPalette::Base, QColor(0x20, 0x22, 0x24));
    p.setColor(QPalette::Text, QColor(0xF0, 0xC0, 0x40));
    p.setColor(QPalette::Highlight, QColor(0x2A, 0x82, 0xDA));
    p.setColor(QPalette::HighlightedText, QColor(0x10, 0xFF, 0x10));
    return p;
}

QImage drawn(Gauge& gauge, int value)
{
    gauge.setValue(value);
    return gauge.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// How many pixels of the image in the columns [from, to) have that colour, or
// nearly (the edges of smoothed text blend into what is below).
int pixelsOf(const QImage& image, QColor colour, int from, int to)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = from; x < to; ++x) {
            const QColor c = image.pixelColor(x, y);
            n += std::abs(c.red() - colour.red()) <= 24 && std::abs(c.green() - colour.green()) <= 24 &&
                 std::abs(c.blue() - colour.blue()) <= 24;
        }
    }
    return n;
}

} // namespace

TEST(Gauge, DrawsItsPartsAndTextInThePaletteColours)
{
    const QPalette dark = darkPalette();
    Gauge gauge;
    gauge.setPalette(dark);
    gauge.resize(200, 20);

    const QImage half = drawn(gauge, 50);
    const QColor base = dark.color(QPalette::Base);
    const QColor highlight = dark.color(QPalette::Highlight);
    // Away from the text and the frame: the bar, then the empty part.
    EXPECT_EQ(half.pixelColor(10, 10), highlight);
    EXPECT_EQ(half.pixelColor(190, 10), base);
    EXPECT_EQ(half.pixelColor(98, 2), highlight);
    EXPECT_EQ(half.pixelColor(102, 2), base);

    // The text over the empty part in Text, over the bar in HighlightedText.
    const QImage empty = drawn(gauge, 0);
    EXPECT_EQ(empty.pixelColor(10, 10), base);
    EXPECT_GT(pixelsOf(empty, dark.color(QPalette::Text), 80, 120), 5);
    EXPECT_EQ(pixelsOf(empty, dark.color(QPalette::HighlightedText), 0, 200), 0);
    const QImage full = drawn(gauge, 100);
    EXPECT_EQ(full.pixelColor(190, 10), highlight);
    EXPECT_GT(pixelsOf(full, dark.color(QPalette::HighlightedText), 80, 120), 5);
    EXPECT_EQ(pixelsOf(full, dark.color(QPalette::Text), 0, 200), 0);
    for (const QImage* image : {&half, &empty, &full}) {
        EXPECT_EQ(pixelsOf(*image, Qt::white, 0, 200), 0);
        EXPECT_EQ(pixelsOf(*image, QColor(0, 0, 255), 0, 200), 0);
    }
}

TEST(Gauge, IsAProgressBarToScreenReadersWithItsValue)
{
    Gauge gauge;
    QAccessibleInterface* a11y = QAccessible::queryAccessibleInterface(&gauge);
    ASSERT_TRUE(a11y);
    EXPECT_EQ(a11y->role(), QAccessible::ProgressBar);
    QAccessibleValueInterface* value = a11y->valueInterface();
    ASSERT_TRUE(value);
    EXPECT_EQ(value->minimumValue().toInt(), 0);
    EXPECT_EQ(value->maximumValue().toInt(), 100);
    EXPECT_EQ(value->currentValue().toInt(), 0);
    EXPECT_EQ(a11y->text(QAccessible::Value), "0%");

    // Qt hands the change announced to screen readers only to an active
    // accessibility bridge, which neither the offscreen platform nor Xvfb
    // has: what a reader would then ask is checked.
    gauge.setValue(37);
    EXPECT_EQ(value->currentValue().toInt(), 37);
    EXPECT_EQ(a11y->text(QAccessible::Value), "37%");
    gauge.setValue(250);
    EXPECT_EQ(value->currentValue().toInt(), 100);
    EXPECT_EQ(a11y->text(QAccessible::Value), "100%");
    // The user cannot move it.
    value->setCurrentValue(5);
    EXPECT_EQ(gauge.value(), 100);

    // Its name: the accessible name when one is set, else the fallback.
    EXPECT_EQ(a11y->text(QAccessible::Name), "");
    gauge.setFallbackAccessibleName(QStringLiteral("Print progress"));
    EXPECT_EQ(a11y->text(QAccessible::Name), "Print progress");
    gauge.setAccessibleName(QStringLiteral("Sheet"));
    EXPECT_EQ(a11y->text(QAccessible::Name), "Sheet");
}
