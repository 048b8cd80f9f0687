// The files of one layer are written under temporary names in their
// directory and renamed into place only when every one of them is
// complete, so that no output is ever half-written under its own name (a
// link in its place is replaced, never written through).
#pragma once

#include "formats/layer.h"

#include <ctime>
#include <string>
#include <vector>

namespace zalor {

// The name a file is written under before it is complete: a hidden name
// in its directory, ".zalor-<process>-<n>-<name>", unique in the process
// and never longer than the name itself when that is long (its first bytes
// give way).
std::string TemporaryPathFor(const std::string& path);

// Removes from `directory` the temporary files of runs that were killed:
// files named as TemporaryPathFor names them, of processes that no longer
// run, last changed before `before`. Returns how many were removed.
int RemoveStaleTemporaries(const std::string& directory, std::time_t before);

// A layer whose files are written under temporary names; the writer of a
// format names its files with Stage and closes them in CloseFiles.
class StagedLayer : public LayerWriter {
public:
    explicit StagedLayer(const std::string& basePath);
    ~StagedLayer() override;

    WriteFailures Close() override;
    void Discard() override;
    const std::string& MainPath() const override { return main_; }

protected:
    // The temporary path of the layer's file with this extension; the first
    // one named is the main file.
    std::string Stage(const char* ext);
    // Closes every file; the failures name the files by their final names.
    virtual WriteFailures CloseFiles() = 0;
    // A write failure of the file `path` (temporary or final) when not `ok`,
    // for the system's `reason` when known.
    void Check(WriteFailures& failures, bool ok, const std::string& path, const std::string& reason = {}) const;
    const std::string& TemporaryPath() const { return temp_; }

private:
    std::string FinalName(const std::string& text) const;
    void RemoveTemporaries();

    std::string final_;
    std::string temp_;
    std::string main_;
    std::vector<std::string> extensions_;
    bool done_ = false;
};

} // namespace zalor
