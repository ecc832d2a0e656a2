#include "options.h"

#include "parsing.h"
#include "cli.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace kcli {

bool OptionReader::is_option() const
{
    return args_[index_].rfind("--", 0) == 0;
}

std::string OptionReader::option_name()
{
    const std::string word = args_[index_++];
    const std::size_t eq = word.find('=');
    has_inline_value_ = eq != std::string::npos;
    name_ = has_inline_value_ ? word.substr(0, eq) : word;
    inline_value_ = has_inline_value_ ? word.substr(eq + 1) : std::string();
    return name_;
}

std::string OptionReader::value()
{
    if (has_inline_value_)
        return inline_value_;
    if (index_ >= args_.size())
        throw UsageError(name_ + " needs a value", command_);
    return args_[index_++];
}

void OptionReader::flag()
{
    if (has_inline_value_)
        throw UsageError(name_ + " takes no value", command_);
}

long whole_number(const std::string &text, const std::string &what, long min, long max, const std::string &command)
{
    long value = 0;
    if (!kcatalog::parse_integer(text, value) || value < min || value > max)
        throw UsageError(what + ": '" + text + "' is not a whole number from " + std::to_string(min) + " to " +
                             std::to_string(max),
                         command);
    return value;
}

double seconds(const std::string &text, const std::string &what, const std::string &command)
{
    errno = 0;
    char *end = nullptr;
    const double value = text.empty() ? 0.0 : std::strtod(text.c_str(), &end);
    // A year bounds the deadline arithmetic far beyond any real session.
    if (text.empty() || errno != 0 || *end != '\0' || !std::isfinite(value) || value <= 0.0 || value > 31536000.0)
        throw UsageError(what + ": '" + text + "' is not a number of seconds above 0", command);
    return value;
}

std::string ipv4_address(const std::string &text, const std::string &command)
{
    // The library takes dotted text only; a name is looked up here.
    const std::string dotted = kcatalog::ipv4_address_of(text);
    if (dotted.empty())
        throw UsageError("--host: '" + text + "' is not an IPv4 address or a known host name", command);
    return dotted;
}

}  // namespace kcli
