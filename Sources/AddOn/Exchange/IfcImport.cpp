#include "IfcImport.hpp"

#include "ExchangeState.hpp"
#include "FileContent.hpp"
#include "HostBinding/HostOperations.hpp"
#include "HostEnvironment.hpp"
#include "IfcFileWriter.hpp"
#include "PlainFileName.hpp"
#include "QuillmarPalette.hpp"
#include "ScriptArguments.hpp"
#include "Transfer/TransferJobs.hpp"
#include "Transfer/TransferReports.hpp"

#include "DGAlert.hpp"
#include "FileSystem.hpp"
#include "JDOMStringParser.hpp"
#include "JSONValues.hpp"
#include "Location.hpp"
#include "Name.hpp"

#include <cmath>
#include <cstring>
#include <limits>
#include <optional>

namespace {

const char* const LoadingModelsGerman =
    "Modell wird heruntergeladen. Jetzt lädt Archicad das Modell. Es dauert einige Minuten.";
const char* const LoadingModelsEnglish =
    "Model is downloaded. Now Archicad is going to load the model. It will take several minutes.";

std::optional<IO::Location> ResourceFile(const GS::UniString& fileName) {
    const GS::UniString folder = GetDataSubfolder("resources");
    if (folder.IsEmpty() || !IsPlainFileName(fileName)) return std::nullopt;
    IO::Location location(folder);
    if (location.AppendToLocal(IO::Name(fileName)) != NoError) return std::nullopt;
    return location;
}

GSErrCode OpenAsProject(IO::Location& file) {
    API_FileOpenPars params;
    params.fileTypeID = APIFType_IfcFile;
    params.file = &file;
    return ACAPI_ProjectOperation_Open(&params);
}

// The value of a key of the JSON type T; null when missing or of another type (a sound answer instead of
// "Bad cast.").
template <typename T>
GS::Ref<T> Member(const GS::Ref<JSON::ObjectValue>& object, const char* key) {
    if (object == nullptr) return GS::Ref<T>();
    return GS::DynamicCast<T>(object->Get(key));
}

struct ModelInfo {
    GS::UniString id;
    GS::UniString fileName;
};

// A model to download, or nothing when a key is missing, of another type, or not a plain name, or the version is no
// 32-bit integer.
std::optional<ModelInfo> ReadModelInfo(const JSON::ValueRef& value) {
    const GS::Ref<JSON::ObjectValue> object = GS::DynamicCast<JSON::ObjectValue>(value);
    const GS::Ref<JSON::StringValue> id = Member<JSON::StringValue>(object, "id");
    const GS::Ref<JSON::StringValue> name = Member<JSON::StringValue>(object, "name");
    const GS::Ref<JSON::NumberValue> version = Member<JSON::NumberValue>(object, "version");
    const GS::Ref<JSON::StringValue> extension = Member<JSON::StringValue>(object, "extension");
    if (id == nullptr || name == nullptr || version == nullptr || extension == nullptr) return std::nullopt;
    const double number = version->Get();
    if (!(number >= std::numeric_limits<Int32>::min() && number <= std::numeric_limits<Int32>::max()) ||
        number != std::floor(number)) {
        return std::nullopt;
    }
    if (!IsPlainFileName(id->Get()) || !IsPlainFileName(name->Get()) || !IsPlainFileName(extension->Get()))
        return std::nullopt;
    const GS::UniString fileName =
        name->Get() + GS::UniString::Printf("-V%d.", static_cast<Int32>(number)) + extension->Get();
    if (!IsPlainFileName(fileName)) return std::nullopt;
    return ModelInfo{id->Get(), fileName};
}

void ReportNothingToImport(QuillmarPalette& palette) {
    palette.GetExchangeState().ClearImportList();
    palette.RunPageScript("CompleteImportModels()");
}

} // namespace

GS::Ref<JS::Base> RegisterIfcFileName(const GS::Ref<JS::Base>& argument) {
    if (!QuillmarPalette::HasInstance()) return MakeBoolResult(true);
    QuillmarPalette::GetInstance().GetExchangeState().registeredIfcFileName = DecodeStringArgument(argument);
    return MakeBoolResult(true);
}

GS::Ref<JS::Base> ImportIfcModel(const GS::Ref<JS::Base>& argument) {
    if (!QuillmarPalette::HasInstance()) return MakeBoolResult(true);
    const GS::UniString text = DecodeStringArgument(argument);
    const GS::UniString& name = QuillmarPalette::GetInstance().GetExchangeState().registeredIfcFileName;
    if (name.IsEmpty()) return MakeBoolResult(true);
    std::optional<IO::Location> file = ResourceFile(name); // a name that is no plain name is ignored
    const GS::UniString::CStr bytes = text.ToCStr(CC_Default);
    // Written whole before the host opens it: a failed write never leaves a cut model under the name.
    if (!file || !ReplaceFileContent(*file, bytes.Get(), static_cast<USize>(std::strlen(bytes.Get()))))
        return MakeBoolResult(true);
    (void)OpenAsProject(*file); // the host tells the user; the page is not told
    return MakeBoolResult(true);
}

GS::Ref<JS::Base> ImportIfcFiles(const GS::Ref<JS::Base>& argument) {
    if (!QuillmarPalette::HasInstance()) return MakeBoolResult(true);
    QuillmarPalette& palette = QuillmarPalette::GetInstance();
    const GS::Ref<JSON::ObjectValue> request =
        GS::DynamicCast<JSON::ObjectValue>(JSON::JDOMStringParser().Parse(DecodeStringArgument(argument)));
    const GS::Ref<JSON::StringValue> token = Member<JSON::StringValue>(request, "token");
    const GS::Ref<JSON::ArrayValue> models = Member<JSON::ArrayValue>(request, "modelInfos");
    if (token == nullptr || token->Get().IsEmpty() || models == nullptr) {
        ReportNothingToImport(palette);
        return MakeBoolResult(true);
    }

    const std::shared_ptr<TransferReports> reports = palette.GetTransferReports();
    GS::Array<GS::Thread*> threads;
    GS::Array<GS::UniString> paths;
    for (UIndex i = 0; i < models->GetSize(); ++i) {
        const std::optional<ModelInfo> model = ReadModelInfo(models->Get(i));
        if (!model) continue;
        const std::optional<IO::Location> file = ResourceFile(model->fileName);
        GS::UniString path;
        if (!file || file->ToPath(&path) != NoError) continue;
        GS::Thread* thread = StartOwnedJob(GS::NewOwned<ImportIFC>(token->Get(), model->id, path), model->id);
        if (thread == nullptr) continue; // no download, so no path the open would look for
        threads.Push(thread);
        paths.Push(path);
    }
    if (threads.IsEmpty()) {
        ReportNothingToImport(palette);
        return MakeBoolResult(true);
    }
    GS::RunnableTask watcher = GS::NewOwned<WatchThread>(reports, threads, paths);
    if (StartJob(std::move(watcher), "watchThread") != NoError) {
        // The watcher took the download threads with it; they run on. The page still gets its one report.
        reports->CompleteImportModels(paths);
    }
    return MakeBoolResult(true);
}

void OpenAndMergeIfcFiles(ExchangeState& exchange) {
    const GS::Array<GS::UniString> paths = exchange.GetImportList();
    if (paths.IsEmpty()) return;
    DG::InformationAlert(GS::UniString(IsGermanLanguage() ? LoadingModelsGerman : LoadingModelsEnglish),
                         GS::UniString(), "OK", GS::UniString(), GS::UniString());
    GS::Array<API_Element> merged;
    for (UIndex i = 0; i < paths.GetSize(); ++i) {
        IO::Location file(paths[i]);
        if (OpenAsProject(file) != NoError) continue;
        if (i + 1 < paths.GetSize()) {
            GS::Array<API_Guid> elements;
            if (ACAPI_Element_GetElemList(API_AnyElemTypeID, &elements) != NoError) continue;
            for (const API_Guid& guid : elements) {
                API_Element element;
                element.header.guid = guid;
                if (ACAPI_Element_Get(&element) == NoError) merged.Push(element);
            }
        } else {
            for (API_Element& element : merged) {
                // One undo step each; the host's answer changes nothing for the others.
                (void)ACAPI_CallUndoableCommand("Create Element",
                                                [&element] { return ACAPI_Element_Create(&element); });
            }
        }
    }
    exchange.ClearImportList();
}

GS::Ref<JS::Base> OpenIfcModels(const GS::Ref<JS::Base>&) {
    if (!QuillmarPalette::HasInstance()) return MakeBoolResult(true);
    QuillmarPalette::GetInstance().OpenAndMergeIFCFiles();
    return MakeBoolResult(true);
}

GS::Ref<JS::Base> GetIfcFile(const GS::Ref<JS::Base>& argument) {
    if (!QuillmarPalette::HasInstance()) return MakeStringResult(GS::UniString());
    const GS::UniString name = DecodeStringArgument(argument);
    if (name.IsEmpty() || !IsPlainFileName(name + ".ifc")) return MakeStringResult(GS::UniString());
    const GS::UniString path = WriteProjectAsIfc(name + ".ifc", false);
    if (path.IsEmpty()) return MakeStringResult(GS::UniString());

    const std::optional<GS::UniString> text = ReadFileText(IO::Location(path));
    return MakeStringResult(text.value_or(GS::UniString()));
}
