#pragma once

#include <QString>

#include <functional>

namespace vextral::gui {

class MainView;

// The commands that later versions add. Until a command class of its own
// takes its rows in the command table, each says in an information box that
// it is not available yet.
class PendingCommands {
public:
    explicit PendingCommands(MainView& view) : view_(view) {}

    // "\"Print\" is not available yet."
    void notAvailable(const QString& command);
    // The handler of the command's rows in the command table.
    std::function<void()> handler(const QString& command);

private:
    MainView& view_;
};

} // namespace vextral::gui
