#include "SelfCheck.hpp"

#include "Transcript.hpp"

#include "JDOMStringParser.hpp"
#include "JDOMStringWriter.hpp"
#include "Thread.hpp"
#include "UniString.hpp"

#include <atomic>
#include <exception>
#include <functional>
#include <string>

namespace HostSim {

namespace {

std::string CheckUniString() {
    const std::string text = "Grüße ✓ 😀";
    const GS::UniString unicode(text, CC_UTF8);
    if (unicode.GetLength() != 10) return "the text has " + std::to_string(unicode.GetLength()) + " code units, not 10";
    if (unicode.ToCStr(CC_UTF8).ToString() != text) return "the text did not come back unchanged";
    return {};
}

std::string CheckJson() {
    const GS::UniString document = R"({"name":"Quillmar","items":[1,2.5,true,null],"nested":{"text":"a\"b"}})";
    const JSON::ValueRef value = JSON::JDOMStringParser().Parse(document);
    if (value.IsNull()) return "the document was refused";
    JSON::JDOMStringWriter writer(false, 10);
    writer.Write(value);
    if (writer.GetString() != document) return "written back as " + writer.GetString().ToCStr(CC_UTF8).ToString();
    return {};
}

std::string CheckThread() {
    class Job final : public GS::Runnable {
    public:
        explicit Job(std::atomic<bool>& ran) : ran(ran) {}
        void Run() override { ran = true; }

    private:
        std::atomic<bool>& ran;
    };
    std::atomic<bool> ran{false};
    GS::Thread thread(GS::RunnableTask(new Job(ran)), "selfCheck");
    if (thread.Start() != NoError) return "the thread did not start";
    if (!thread.Join(10000)) return "the thread did not end within 10 s";
    if (!ran) return "the job did not run";
    return {};
}

} // namespace

bool RunSelfCheck(std::ostream& out) {
    const std::pair<const char*, std::function<std::string()>> checks[] = {
        {"UniString", CheckUniString}, {"JSON", CheckJson}, {"Thread", CheckThread}};
    bool allPassed = true;
    for (const auto& [name, check] : checks) {
        std::string problem;
        try {
            problem = check();
        } catch (const std::exception& e) {
            problem = std::string("exception: ") + e.what();
        }
        Line line{{"selfCheck", name}, {"ok", problem.empty()}};
        if (!problem.empty()) line["problem"] = problem;
        allPassed = allPassed && problem.empty();
        out << line.dump() << '\n';
    }
    out << Line{{"selfCheck", "done"}, {"ok", allPassed}}.dump() << std::endl;
    return allPassed;
}

} // namespace HostSim
