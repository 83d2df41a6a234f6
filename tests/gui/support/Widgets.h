#pragma once

// What every GUI test shares: a control found by its object name, clicked as
// a user does, events handled until a condition holds, and the small
// conversions between the tests' files and Qt.
#include "TestSupport.h"
#include "harvest/IconCatalogue.h"
#include "platform/IconExtractor.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QListWidget>
#include <QRadioButton>
#include <QString>
#include <QStringList>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace vextral::test {

// The control of that name below parent; a failure, and an exception that
// ends the test, when there is none.
template <typename T = QWidget>
T* control(const QObject* parent, const QString& name)
{
    T* found = parent->findChild<T*>(name);
    EXPECT_TRUE(found) << name.toStdString();
    if (!found) throw std::runtime_error("no control " + name.toStdString());
    return found;
}

template <typename T = QWidget>
T* control(const QObject* parent, const char* name)
{
    return control<T>(parent, QString::fromLatin1(name));
}

// Clicks the control of that name as a user does: a check box or radio button
// on its box, which is all of it that takes a click when the control is wider
// than its text; anything else in its middle.
inline void click(const QObject* parent, const char* name)
{
    auto* w = control<QWidget>(parent, name);
    const bool box = qobject_cast<QCheckBox*>(w) || qobject_cast<QRadioButton*>(w);
    QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, box ? QPoint(6, w->height() / 2) : QPoint());
}

// Handles events until done says so, or until the time runs out; whether done
// said so.
inline bool waitUntil(const std::function<bool()>& done, int milliseconds = 5000)
{
    return QTest::qWaitFor(done, milliseconds);
}

inline QString qtPath(const std::filesystem::path& p) { return QString::fromStdString(p.string()); }

// The first n bytes of a file (fewer when it is shorter).
inline std::vector<std::uint8_t> fileHead(const std::filesystem::path& file, std::size_t n)
{
    std::vector<std::uint8_t> bytes = readBytes(file);
    bytes.resize(std::min(bytes.size(), n));
    return bytes;
}

inline std::string fileText(const std::filesystem::path& path)
{
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The texts of a list's entries, top to bottom.
inline QStringList entries(const QListWidget* list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i) out << list->item(i)->text();
    return out;
}

// A catalogue of n icons taken from a fixture in turn, as a harvest of it
// would list them (the file's icons again from the first when n is larger).
inline IconCatalogue catalogueOf(const char* fixtureName, int n)
{
    IconCatalogue c;
    const std::string path = fixture(fixtureName).string();
    const auto source = platform::IconSource::open(path);
    for (int k = 0; k < n; ++k) c.add(*source.icon(k % source.count()), k % source.count(), path);
    return c;
}

} // namespace vextral::test
