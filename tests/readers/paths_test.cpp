#include "readers/paths.hpp"

#include <gtest/gtest.h>

using namespace grix;

namespace {

TEST(ExperimentName, CutAtTheFirstDotOfTheFinalComponent)
{
    const std::pair<const char*, const char*> cases[] = {
        {"run.exp", "run"},          {"run", "run"},
        {"../data/run.exp", "../data/run"}, {"./run", "./run"},
        {"a.b/c.d.e", "a.b/c"},      {"dir\\x.y", "dir\\x"},
        {".hidden", ""},             {"data/", "data/"},
    };
    for (const auto& [typed, cut] : cases)
        EXPECT_EQ(cut_at_extension(typed), cut) << typed;
}

TEST(CandidateNames, MapFileWholeNameFirstThenFinalComponentOnly)
{
    using Names = std::vector<std::string>;
    // Then the name as typed, each extension in lower then upper case.
    EXPECT_EQ(map_file_candidates("Run1", "FCLC"),
              (Names{"run1.fclc", "RUN1.FCLC", "run1.fcl", "RUN1.FCL", "Run1.fclc",
                     "Run1.FCLC", "Run1.fcl", "Run1.FCL"}));
    EXPECT_EQ(map_file_candidates("My.Dir/Run1", "DPTS"),
              (Names{"my.dir/run1.dpts", "MY.DIR/RUN1.DPTS", "my.dir/run1.dpt",
                     "MY.DIR/RUN1.DPT", "My.Dir/run1.dpts", "My.Dir/RUN1.DPTS",
                     "My.Dir/run1.dpt", "My.Dir/RUN1.DPT", "My.Dir/Run1.dpts",
                     "My.Dir/Run1.DPTS", "My.Dir/Run1.dpt", "My.Dir/Run1.DPT"}));
    // A name tried already is not tried again.
    EXPECT_EQ(map_file_candidates("run", "FOBS").size(), 6u);
    EXPECT_EQ(map_file_candidates("C:\\Maps\\x", "FOBS")[4], "C:\\Maps\\x.fobs");
}

TEST(CandidateNames, ExperimentFileAsTypedThenUpperCase)
{
    using Names = std::vector<std::string>;
    EXPECT_EQ(exp_file_candidates("run1"), (Names{"run1.exp", "RUN1.EXP", "run1.EXP"}));
    EXPECT_EQ(exp_file_candidates("Data/Run1"),
              (Names{"Data/Run1.exp", "DATA/RUN1.EXP", "Data/RUN1.EXP", "Data/Run1.EXP",
                     "Data/run1.exp"}));
    EXPECT_EQ(exp_file_candidates("RUN"), (Names{"RUN.exp", "RUN.EXP", "run.exp"}));
    EXPECT_EQ(to_upper_ascii("a-z\xe9_Z"), "A-Z\xe9_Z");
    EXPECT_EQ(to_lower_ascii("A-Z\xc9_z"), "a-z\xc9_z");
}

}  // namespace
