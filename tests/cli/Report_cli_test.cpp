// --report over every example: a page that parses as XML, needs nothing from outside, and holds every result
// text as --json gives it, the notes, the seeds, the data file and the plot marking the obtained value; the
// command it gives repeats the run to the same texts.
#include "support/CliRun.h"
#include "support/Files.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <QString>
#include <QXmlStreamReader>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

namespace BREVANT_TEST_UNIT {

namespace {

using brevant::testing::Cli;
using brevant::testing::CliRun;
using Json = nlohmann::ordered_json;

std::string Escaped(const std::string& text) {
    return QString::fromStdString(text)
        .toHtmlEscaped()
        .replace(QLatin1Char('\''), QStringLiteral("&#39;"))
        .toStdString();
}

std::string Unescaped(std::string text) {
    for (const auto& [from, to] : std::vector<std::pair<std::string, std::string>>{
             {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&#39;", "'"}, {"&amp;", "&"}}) {
        for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
            text.replace(at, from.size(), to);
    }
    return text;
}

// The words of a POSIX shell command made of bare and single-quoted words.
std::vector<std::string> ShellWords(const std::string& command) {
    std::vector<std::string> words;
    std::string word;
    bool quoted = false, any = false;
    for (const char c : command) {
        if (c == '\'') {
            quoted = !quoted;
            any = true;
        } else if (c == ' ' && !quoted) {
            if (any) words.push_back(word);
            word.clear();
            any = false;
        } else {
            word += c;
            any = true;
        }
    }
    if (any) words.push_back(word);
    return words;
}

std::map<std::string, std::string> Texts(const Json& json) {
    std::map<std::string, std::string> texts;
    for (const auto& [control, box] : json["results"].items()) texts[control] = box["text"];
    return texts;
}

}  // namespace

TEST(Report, EveryExampleGivesAWholePageThatRepeatsItsRun) {
    const std::filesystem::path examples = std::filesystem::path(BREVANT_SOURCE_DIR) / "help" / "examples";
    const std::filesystem::path folder = std::filesystem::path(BREVANT_TEST_WORK_DIR) / "report pages";
    std::filesystem::create_directories(folder);
    int pages = 0;
    for (const auto& entry : std::filesystem::directory_iterator(examples)) {
        // The thirteen counts-first files, and one table read by a grouping column.
        const bool table = entry.path().filename() == "OnewayRandom-teaching-methods.csv";
        if (entry.path().extension() != ".dat" && !table) continue;
        const std::string data = entry.path().string(), name = entry.path().filename().string();
        const std::string procedure = name.substr(0, name.find('-'));
        const std::string report = (folder / (name + ".html")).string();
        std::vector<std::string> args{procedure, data,     "--resamples", "2000", "--seed",
                                      "1,2,3",   "--json", "--report",    report};
        if (procedure == "OnewayBoot") args.emplace_back("--errors");
        if (table) args.insert(args.end(), {"--group", "method"});
        const CliRun run = Cli(args);
        ASSERT_EQ(run.code, 0) << name << ": " << run.err;
        const Json json = Json::parse(run.out);
        const std::string page = brevant::testing::ReadWhole(report);

        QXmlStreamReader xml(QByteArray::fromStdString(page));
        while (!xml.atEnd()) xml.readNext();
        EXPECT_FALSE(xml.hasError()) << name << ": " << xml.errorString().toStdString() << " at line "
                                     << xml.lineNumber();
        for (const char* outside : {"<script", "href=", "src=", "url(", "@import", "<link", "<iframe", "<object"})
            EXPECT_EQ(page.find(outside), std::string::npos) << name << " holds " << outside;

        for (const auto& [control, text] : Texts(json))
            EXPECT_NE(page.find("<td>" + Escaped(text) + "</td>"), std::string::npos) << name << ": " << control;
        for (const char* list : {"notes", "messages"})
            for (const std::string note : json[list])
                EXPECT_NE(page.find(Escaped(note)), std::string::npos) << name << ": " << note;
        EXPECT_NE(page.find("<code>1,2,3</code>"), std::string::npos) << name;
        EXPECT_NE(page.find(Escaped(data)), std::string::npos) << name;
        if (table) {
            EXPECT_NE(page.find("<th scope=\"row\">Columns</th>"), std::string::npos);
        }
        const std::size_t svg = page.find("<svg"), svgEnd = page.find("</svg>");
        ASSERT_TRUE(svg != std::string::npos && svgEnd != std::string::npos) << name;
        EXPECT_NE(page.substr(svg, svgEnd - svg).find(">Obtained "), std::string::npos) << name;

        std::smatch command;
        ASSERT_TRUE(std::regex_search(page, command, std::regex("<pre><code>(brevant-cli [^<]*)</code></pre>")))
            << name;
        std::vector<std::string> again = ShellWords(Unescaped(command[1]));
        again.erase(again.begin());
        again.emplace_back("--json");
        const CliRun repeated = Cli(again);
        ASSERT_EQ(repeated.code, 0) << name << ": " << repeated.err;
        EXPECT_EQ(Texts(Json::parse(repeated.out)), Texts(json)) << name;
        ++pages;
    }
    EXPECT_EQ(pages, 14);
}

// A report named where it cannot go is refused before the run; a page replaced keeps nothing of the old one;
// a name ending in .pdf gives a PDF document.
TEST(Report, RefusedBeforeTheRunReplacedWholeOrAPdf) {
    const std::string data = BREVANT_SOURCE_DIR "/help/examples/BootstMean-daily-screen-hours.dat";
    const std::filesystem::path folder = std::filesystem::path(BREVANT_TEST_WORK_DIR) / "report pages";
    std::filesystem::create_directories(folder);
    const std::string output = (folder / "means.dat").string();
    const std::vector<std::pair<std::vector<std::string>, std::string>> refused{
        {{"--report", data}, "is the data file itself"},
        {{"--report", (folder / "no such folder" / "r.html").string()}, "report file"},
        {{"--report", output, "--output", output}, "--report and --output name the same file"},
        {{"--report", ""}, "--report was given an empty value"},
    };
    const std::string before = brevant::testing::ReadWhole(data);
    for (const auto& [extra, message] : refused) {
        std::vector<std::string> args{"BootstMean", data};
        args.insert(args.end(), extra.begin(), extra.end());
        const CliRun run = Cli(args);
        EXPECT_EQ(run.code, brevant::cli::kExitUsage) << message;
        EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
        EXPECT_TRUE(run.out.empty()) << run.out;
    }
    EXPECT_EQ(brevant::testing::ReadWhole(data), before);

    const std::string report = (folder / "replaced.html").string();
    brevant::testing::WriteWhole(report, std::string(200000, 'x'));
    ASSERT_EQ(Cli({"BootstMean", data, "--resamples", "1000", "--report", report}).code, 0);
    const std::string page = brevant::testing::ReadWhole(report);
    EXPECT_EQ(page.rfind("<!DOCTYPE html>", 0), 0u);
    EXPECT_EQ(page.find("xxx"), std::string::npos);
    EXPECT_EQ(page.substr(page.size() - 8), "</html>\n");

    const std::string pdf = (folder / "report.PDF").string();
    ASSERT_EQ(Cli({"BootstMean", data, "--resamples", "1000", "--report", pdf}).code, 0);
    const std::string document = brevant::testing::ReadWhole(pdf);
    EXPECT_EQ(document.rfind("%PDF-", 0), 0u);
    EXPECT_NE(document.find("%%EOF"), std::string::npos);
    EXPECT_GT(document.size(), 20000u);  // the pages and the plot's picture
}
}  // namespace BREVANT_TEST_UNIT
