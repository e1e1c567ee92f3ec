// ErrorList collects the messages of failed operations, in order; nothing is ever removed.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace nebcm {

class ErrorList {
public:
    void Add(std::string message) { messages_.push_back(std::move(message)); }
    // Appends every message of another list (a rollback's own messages, say).
    void Append(const ErrorList& other) {
        messages_.insert(messages_.end(), other.messages_.begin(), other.messages_.end());
    }
    std::size_t Count() const { return messages_.size(); }
    bool Empty() const { return messages_.empty(); }
    const std::string& At(std::size_t i) const { return messages_.at(i); }
    const std::vector<std::string>& Messages() const { return messages_; }
    // The messages with repeats dropped, each kept where it first occurred (as shown to the user).
    std::vector<std::string> Distinct() const;

private:
    std::vector<std::string> messages_;
};

} // namespace nebcm
