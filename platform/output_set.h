// Outputs that replace files safely: each written to a temporary file
// beside its destination and put in place only when the whole run has
// succeeded, several of them as one.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "platform/output_file.h"
#include "platform/progress.h"

namespace vagliante {

// One output. A regular file (or a name for one yet to be made) is written
// to a temporary file beside it, readable by its owner only; Commit flushes
// it to the disk, gives it what the old file had (permissions, owner, group,
// extended attributes and ACLs) and puts it in place in one step, the folder
// flushed after. A symbolic link is followed: the link stays and its target
// is replaced. A pipe or device is written directly, in sequence. An output
// destroyed before its Commit leaves no trace.
class AtomicOutput {
  public:
    explicit AtomicOutput(std::string destination);
    ~AtomicOutput();
    AtomicOutput(const AtomicOutput&) = delete;
    AtomicOutput& operator=(const AtomicOutput&) = delete;

    OutputFile& Stream() { return *stream_; }
    // Empty when the output is written directly.
    const std::string& TemporaryPath() const { return temporary_; }
    bool IsDirect() const { return temporary_.empty(); }

    // Puts the output in place; with a tracker, the bar moves while it does.
    void Commit(ProgressTracker* tracker = nullptr);

  private:
    friend class OutputSet;
    void Seal();  // flushed to the disk (a direct output closed)
    // Given the old file's attributes, closed and swapped with the old file,
    // which is then at the path returned (empty for a new file).
    std::string PutInPlace(const os::StopCheck& stopped);

    std::string destination_;
    std::string target_;  // the file to replace, links followed
    std::string temporary_;
    std::unique_ptr<OutputFile> stream_;
    bool published_ = false;
};

// Outputs that change together: after Commit all are new; after a failure
// or a stop (a signal between two of the renames included) all are as they
// were. A stop that comes once the last rename is done is too late: Commit
// succeeds. Two runs putting the same names in place at once take turns;
// their folders are locked by what they are, not by how they are spelled.
class OutputSet {
  public:
    explicit OutputSet(const std::vector<std::string>& destinations);
    AtomicOutput& operator[](std::size_t i) { return *outputs_[i]; }
    std::size_t Size() const { return outputs_.size(); }

    void Commit(ProgressTracker* tracker = nullptr);

  private:
    friend class AtomicOutput;
    static void Publish(const std::vector<AtomicOutput*>& outputs, ProgressTracker* tracker);

    std::vector<std::unique_ptr<AtomicOutput>> outputs_;
};

}  // namespace vagliante
