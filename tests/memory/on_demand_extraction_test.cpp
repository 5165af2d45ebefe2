// Parse Run Files: the file asked for, the choice it is extracted with and what the page says of it.
#include <gtest/gtest.h>

#include <filesystem>

#include "upload_rig.h"

namespace cv::test {
namespace {

TEST(ExtractOnDemand, ExtractsTheChosenFileWithTheChoice) {
    UploadRig rig;
    writeFile(rig.file("run.003"), {1, 2});
    rig.dialogs.fileAnswers.push_back(rig.file("run.003").string());
    rig.onDemand.extractChosenFile(0);
    ASSERT_EQ(rig.dialogs.fileChoices.size(), 1u);
    EXPECT_EQ(rig.dialogs.fileChoices[0].title, "Extract Run File");
    EXPECT_EQ(rig.dialogs.fileChoices[0].filter, "Run Files|Run.*|All Files|*.*");
    ASSERT_EQ(rig.extractions.size(), 1u);
    EXPECT_EQ(rig.extractions[0].path, rig.file("run.003"));
    EXPECT_EQ(rig.extractions[0].choice, 0);
    EXPECT_EQ(rig.session.extractChoice(), 0);

    rig.dialogs.fileAnswers.push_back(std::nullopt);
    rig.onDemand.extractChosenFile(1);
    EXPECT_EQ(rig.extractions.size(), 1u);
}

struct OnDemandCase {
    const char* name;
    ExtractStatus status;
    bool cutShort;
    std::vector<std::string> files;
    std::string warning;  // "" for none; PATH stands for the run file's path, DIR for its folder
    std::string result;
};
void PrintTo(const OnDemandCase& c, std::ostream* os) { *os << c.name; }

class ExtractOnDemandReport : public ::testing::TestWithParam<OnDemandCase> {};

TEST_P(ExtractOnDemandReport, SaysWhatCameOfTheFile) {
    UploadRig rig;
    const auto path = rig.file("run.003");
    auto expand = [&](std::string text) {
        for (const auto& [key, value] : {std::pair{std::string("PATH"), path.string()}, {"DIR", rig.dir.path().string()}})
            if (auto at = text.find(key); at != std::string::npos) text.replace(at, key.size(), value);
        return text;
    };
    rig.extractionResult.status = GetParam().status;
    rig.extractionResult.cutShort = GetParam().cutShort;
    for (const auto& f : GetParam().files) rig.extractionResult.files.push_back(rig.file(f));
    rig.dialogs.fileAnswers.push_back(path.string());
    rig.onDemand.extractChosenFile(1);
    if (GetParam().warning.empty())
        EXPECT_TRUE(rig.dialogs.boxes.empty());
    else
        EXPECT_TRUE(rig.dialogs.saw("Extract Run File", expand(GetParam().warning)));
    EXPECT_EQ(rig.view.result, expand(GetParam().result));
}

INSTANTIATE_TEST_SUITE_P(
    ExtractOnDemand, ExtractOnDemandReport,
    ::testing::Values(
        OnDemandCase{"CannotOpen", ExtractStatus::CannotOpen, false, {}, "Unable to open PATH", "Nothing extracted from run.003"},
        OnDemandCase{"NoRecord", ExtractStatus::Empty, false, {}, "PATH holds no complete record: nothing was extracted",
                     "Nothing extracted from run.003"},
        OnDemandCase{"Whole", ExtractStatus::Extracted, false, {"archive.003", "Summary.003"}, "",
                     "run.003 extracted into DIR: archive.003, Summary.003"},
        OnDemandCase{"CutShort", ExtractStatus::Extracted, true, {"archive.003"}, "",
                     "run.003 is cut short or damaged; what it holds was extracted into DIR: archive.003"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace cv::test
