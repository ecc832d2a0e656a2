// Reading options and checked values from the command line; every bad
// input becomes a UsageError naming the subcommand whose usage to show.
#ifndef CLI_OPTIONS_H
#define CLI_OPTIONS_H

#include <string>
#include <vector>

namespace kcli {

class OptionReader
{
public:
    OptionReader(std::vector<std::string> args, std::string command)
        : args_(std::move(args))
        , command_(std::move(command))
    {}

    bool more() const { return index_ < args_.size(); }
    // The next word starts with "--" (a negative number like -50 does not).
    bool is_option() const;
    // Name of the option at hand ("--count" of "--count=5"); consumes it.
    std::string option_name();
    // The option's value, given as --name=VALUE or --name VALUE.
    std::string value();
    // Checks that the option at hand took no "=VALUE".
    void flag();
    std::string next_word() { return args_[index_++]; }
    const std::string &peek() const { return args_[index_]; }
    std::vector<std::string> rest() const { return {args_.begin() + static_cast<long>(index_), args_.end()}; }

private:
    std::vector<std::string> args_;
    std::string command_;
    std::size_t index_ = 0;
    std::string name_;
    std::string inline_value_;
    bool has_inline_value_ = false;
};

// A whole number in min..max (decimal or 0x-hex); `what` names it in the message.
long whole_number(const std::string &text, const std::string &what, long min, long max, const std::string &command);
// A number of seconds above 0.
double seconds(const std::string &text, const std::string &what, const std::string &command);
// Dotted IPv4 text for an address or an IPv4 host name.
std::string ipv4_address(const std::string &text, const std::string &command);

}  // namespace kcli

#endif  // CLI_OPTIONS_H
