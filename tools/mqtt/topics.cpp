#include "topics.h"

#include "message.h"

namespace kmqtt {

namespace {

// A refusal quotes what it was given; longer payloads are no command.
constexpr std::size_t kMaxPayload = 256;

bool is_json_integer(const std::string &word)
{
    std::size_t i = word.size() > 1 && word[0] == '-' ? 1 : 0;
    if (i >= word.size())
        return false;
    for (; i < word.size(); ++i)
        if (word[i] < '0' || word[i] > '9')
            return false;
    return true;
}

std::string trimmed(const std::string &text)
{
    const char *space = " \t\r\n";
    const std::size_t first = text.find_first_not_of(space);
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(space) - first + 1);
}

// Refusals end up in JSON and on stderr: keep them to printable ASCII.
std::string printable(const std::string &text)
{
    std::string out = text;
    for (char &ch : out)
        if (static_cast<unsigned char>(ch) < 0x20 || static_cast<unsigned char>(ch) > 0x7e)
            ch = '?';
    return out;
}

}  // namespace

bool argument_words(const std::string &payload, std::vector<std::string> &words)
{
    words.clear();
    const std::string text = trimmed(payload);
    if (text.empty() || text[0] != '[') {
        std::size_t at = 0;
        while ((at = text.find_first_not_of(" \t\r\n", at)) != std::string::npos) {
            const std::size_t end = text.find_first_of(" \t\r\n", at);
            words.push_back(text.substr(at, end - at));
            at = end;
        }
        return true;
    }
    if (text.back() != ']')
        return false;
    const std::string inner = trimmed(text.substr(1, text.size() - 2));
    if (inner.empty())
        return true;
    std::size_t at = 0;
    for (;;) {
        const std::size_t comma = inner.find(',', at);
        const std::string word = trimmed(inner.substr(at, comma == std::string::npos ? comma : comma - at));
        if (!is_json_integer(word))
            return false;
        words.push_back(word);
        if (comma == std::string::npos)
            return true;
        at = comma + 1;
    }
}

std::string read_order(const Topics &topics, const std::string &topic, const std::string &payload,
                       bool commands_enabled, Order &order)
{
    const std::string request_head = topics.prefix() + "/request/";
    const std::string command_head = topics.prefix() + "/command/";
    order = Order{};
    if (topic.rfind(request_head, 0) == 0) {
        const std::string name = topic.substr(request_head.size());
        if (!kcatalog::parse_request(name, order.request_id))
            return "unknown request '" + printable(name) + "'";
        return {};
    }
    if (topic.rfind(command_head, 0) != 0)
        return "not a request or command topic";
    const std::string name = topic.substr(command_head.size());
    order.is_request = false;
    order.command = kcatalog::find_command(name);
    if (!order.command)
        return "unknown command '" + printable(name) + "'";
    if (!commands_enabled)
        return "commands are not enabled (start the bridge with --commands)";
    std::vector<std::string> words;
    if (payload.size() > kMaxPayload || !argument_words(payload, words))
        return "arguments must be a JSON array of whole numbers or numbers separated by spaces: " +
               kcatalog::command_synopsis(*order.command);
    const std::string refused = kcatalog::check_command_args(*order.command, words, order.values);
    return printable(refused);
}

std::string error_json(const std::string &topic, const std::string &error)
{
    return "{\"topic\":" + kcatalog::json_string(topic) + ",\"error\":" + kcatalog::json_string(error) + "}";
}

}  // namespace kmqtt
