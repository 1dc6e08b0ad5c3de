#pragma once
#include <functional>
#include <string>
#include <type_traits>
#include <utility>

// How the lower floors tell the user something without knowing about
// windows: a level, a title and a text, shown by the front end as it sees
// fit (a message box in the window, a line on stderr in the command-line
// tool).
enum class NoticeLevel {
    Info,     // for the user's information; nothing went wrong
    Warning,  // something was left out or replaced; the work goes on
    Error,    // the work cannot be done as asked
};

class Notice {
public:
    using Receiver = std::function<void(NoticeLevel, const std::string& title, const std::string& text)>;

    Notice() = default;
    // A receiver of the level, the title and the text.
    template <class F, std::enable_if_t<std::is_invocable_v<F&, NoticeLevel, const std::string&, const std::string&>,
                                        int> = 0>
    Notice(F receiver) : receive_(std::move(receiver)) {}
    // A receiver of the title and the text alone: the level is dropped.
    template <class F,
              std::enable_if_t<std::is_invocable_v<F&, const std::string&, const std::string&> &&
                                   !std::is_invocable_v<F&, NoticeLevel, const std::string&, const std::string&>,
                               int> = 0>
    Notice(F receiver)
        : receive_([r = std::move(receiver)](NoticeLevel, const std::string& title, const std::string& text) mutable {
              r(title, text);
          }) {}

    void operator()(NoticeLevel level, const std::string& title, const std::string& text) const {
        if (receive_) receive_(level, title, text);
    }
    explicit operator bool() const { return bool(receive_); }

private:
    Receiver receive_;
};
