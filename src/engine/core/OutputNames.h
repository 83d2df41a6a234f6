#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace vextral {

// Chooses the paths a run writes its files to, so that it never writes over
// one of its own inputs nor over a file it wrote earlier. The run names its
// inputs first (all of them, before it writes anything); each output it then
// wants gets its path when that is free, otherwise the first free one of
// "name (2).ext", "name (3).ext", ... in the same folder.
//
// A path is taken when it leads to an input or to an earlier output: the same
// path once made absolute, with "." and ".." and the links of what exists
// resolved, or the same file (device and inode) reached through a symbolic or
// hard link. Other files that exist are free: the run replaces what earlier
// runs left, as before.
//
// A path claimed is taken from then on; the file written there is also known
// by its device and inode from the next claim on, so claim a path just before
// writing it.
class OutputNames {
public:
    // What the wanted path would have written over.
    enum class Clash { None, Input, Output };

    struct Choice {
        std::string path;          // the path to write: the one wanted or its numbered form
        Clash clash = Clash::None; // None when path is the path wanted
    };

    // Protects path as an input. A path that does not exist is kept by name.
    void addInput(const std::string& path);

    // The path to write for wanted (a file path, in any folder), taken from now on.
    Choice claim(const std::string& wanted);

    // wanted with " (n)" before the extension of its file name: ("dir/a.png", 2)
    // gives "dir/a (2).png"; a name without an extension (or only one, as
    // ".png") gets it at its end.
    static std::string numbered(const std::string& wanted, int n);

private:
    using FileId = std::pair<std::uint64_t, std::uint64_t>; // device, inode

    Clash clashOf(const std::string& path) const;
    void learnWrittenFiles();

    std::set<std::string> inputPaths_, outputPaths_;
    std::set<FileId> inputFiles_, outputFiles_;
    std::vector<std::string> unseenOutputs_; // claimed, not yet looked at on disk
};

} // namespace vextral
