#pragma once

// Qt values in GoogleTest's failure messages as text rather than bytes.
#include <QRect>
#include <QSize>
#include <QString>

#include <ostream>

inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }
inline void PrintTo(const QSize& size, std::ostream* out) { *out << size.width() << " x " << size.height(); }
inline void PrintTo(const QRect& r, std::ostream* out)
{
    *out << r.width() << " x " << r.height() << " at " << r.x() << ", " << r.y();
}
