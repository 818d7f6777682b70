#include "HostEnvironment.hpp"

#include "HostBinding/HostOperations.hpp"

#include "FileSystem.hpp"
#include "Location.hpp"
#include "Name.hpp"

namespace {

// The add-on's own data folder; "" when the host's user data folder cannot be had or made use of.
GS::UniString GetDataFolder() {
    IO::Location userData;
    const API_SpecFolderID folderId = API_UserDataFolderID;
    if (ACAPI_ProjectSettings_GetSpecFolder(&folderId, &userData) != NoError) return GS::UniString();

    GS::UniString base;
    if (userData.ToPath(&base) != NoError) return GS::UniString();
    const UIndex vendor = base.FindFirst("GRAPHISOFT");
    if (vendor != MaxUIndex) {
        base = base.GetPrefix(vendor);
    } else if (!base.EndsWith("/") && !base.EndsWith("\\")) {
        // No vendor folder on this machine: the data folder goes inside the user data folder itself.
        base += "\\";
    }
    const IO::Location dataFolder(base + "Quillmar" + "\\" + "ArchiCAD");
    if (IO::fileSystem.CreateFolderTree(dataFolder) != NoError) return GS::UniString();
    GS::UniString path;
    if (dataFolder.ToPath(&path) != NoError) return GS::UniString();
    return path;
}

} // namespace

bool IsGermanLanguage() {
    API_ServerApplicationInfo info;
    if (ACAPI_AddOnIdentification_Application(&info) != NoError) return false;
    return info.language == GS::UniString("GER");
}

GS::UniString GetDataSubfolder(const GS::UniString& subfolderName) {
    const GS::UniString dataFolder = GetDataFolder();
    // Without a data folder there is nothing to append to; a relative folder would land wherever the host runs.
    if (dataFolder.IsEmpty()) return GS::UniString();

    IO::Location subfolder(dataFolder);
    if (subfolder.AppendToLocal(IO::Name(subfolderName)) != NoError) return GS::UniString();
    if (IO::fileSystem.CreateFolderTree(subfolder) != NoError) return GS::UniString();
    GS::UniString path;
    if (subfolder.ToPath(&path) != NoError) return GS::UniString();
    return path;
}
