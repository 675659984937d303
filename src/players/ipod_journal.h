// SPDX-License-Identifier: GPL-3.0-or-later
// The copies an iPod was given that its database may not list yet. Each copy is noted in
// iPod_Control/iTunes/morvane-journal (and the note flushed to the iPod) before it is made;
// the notes go once the database that lists the copies is written, or the copies are removed.
// A batch cut short (a crash, a kill, a pulled-out iPod) leaves notes of copies no database
// lists: the next sender removes those copies, and nothing else.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace morvane {

class IpodJournal {
public:
    // `root`: the iPod's root, with its final '/'.
    explicit IpodJournal(std::string root);

    // Notes `copy`, a file about to be made under the root. Nothing on success, else why.
    std::optional<std::string> note(const std::string& copy);
    // Removes each noted copy that `listed` says no track names (it is given the copy's path
    // under the root), then the notes. Only plain files under iPod_Control/Music/ go; a note
    // naming anything else (the journal may have been edited) is passed over.
    void remove_unlisted(const std::function<bool(const std::string& relative)>& listed);
    // Forgets every note: their copies are listed, or gone.
    void clear();

    static constexpr const char* name = "iPod_Control/iTunes/morvane-journal";

private:
    std::string root_;
};

} // namespace morvane
