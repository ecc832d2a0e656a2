// The names and argument checks every tool shares.
#include "catalog.h"

#include <gtest/gtest.h>

#include <set>

using namespace kcatalog;

namespace {

std::vector<std::string> words_of(const Command &c, int Arg::*bound)
{
    std::vector<std::string> words;
    for (const Arg &a : c.args)
        words.push_back(std::to_string(a.*bound));
    return words;
}

TEST(Commands, EveryArgumentTakesItsWholeRangeAndNothingBeyond)
{
    for (const Command &c : all_commands()) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(find_command(c.name), &c);
        std::vector<int> values;
        for (int Arg::*bound : {&Arg::min, &Arg::max}) {
            const std::vector<std::string> words = words_of(c, bound);
            ASSERT_EQ(check_command_args(c, words, values), "");
            ASSERT_EQ(values.size(), c.args.size());
            for (std::size_t i = 0; i < c.args.size(); ++i)
                EXPECT_EQ(values[i], c.args[i].*bound);
        }
        for (std::size_t i = 0; i < c.args.size(); ++i) {
            for (long beyond : {c.args[i].min - 1L, c.args[i].max + 1L}) {
                std::vector<std::string> words = words_of(c, &Arg::min);
                words[i] = std::to_string(beyond);
                EXPECT_NE(check_command_args(c, words, values).find(std::string(" ") + c.args[i].name + ": '"),
                          std::string::npos)
                    << beyond;
            }
        }
        std::vector<std::string> one_more = words_of(c, &Arg::min);
        one_more.push_back("0");
        EXPECT_NE(check_command_args(c, one_more, values).find("argument(s), not"), std::string::npos);
    }
    EXPECT_EQ(find_command("remote_on"), nullptr);
}

TEST(Requests, ByNameOrNumberExactlyForWhatTheMixerAnswers)
{
    for (int id = -1; id <= 256; ++id) {
        int parsed = -2;
        EXPECT_EQ(parse_request(std::to_string(id), parsed), is_requestable(id)) << id;
        if (is_requestable(id)) {
            EXPECT_EQ(parsed, id) << id;
            // Its answer is shown by name or as a known unnamed id, never as garbage.
            EXPECT_NE(find_id(reply_id_for(id)), nullptr) << id;
        }
    }
    std::set<std::string> names;
    int previous = -1;
    for (const IdInfo &info : all_ids()) {
        EXPECT_GT(info.id, previous) << "the list is in id order";
        previous = info.id;
        if (!info.name)
            continue;
        EXPECT_TRUE(names.insert(info.name).second) << info.name;
        int parsed = -1;
        EXPECT_EQ(parse_request(info.name, parsed), is_requestable(info.id)) << info.name;
        if (is_requestable(info.id)) {
            EXPECT_EQ(parsed, info.id) << info.name;
        }
    }
    int parsed = -1;
    for (const char *bad : {"", "module_on", "Module-On", "0x100", "meters", "phone"})
        EXPECT_FALSE(parse_request(bad, parsed)) << bad;
    EXPECT_TRUE(parse_request("0x60", parsed));
    EXPECT_EQ(parsed, KORVANE_ID_MODULE_ON);
}

}  // namespace
