// The host's 3D window operations: projection, window mapping, shown elements, survey point and its picture; and
// the pictures and PDF of the floor plan, which the same save operation writes from the other windows.

#include "HostServices.hpp"
#include "PlanDrawing.hpp"

#include <unordered_set>

namespace HostSim {

namespace {

using GuidSet = std::unordered_set<API_Guid, ApiGuidHash>;

// What the 3D window draws besides its view: the cutting planes while they are on and, when asked, the selection.
PictureScene CurrentScene(const HostState& state, bool highlightSelection) {
    PictureScene scene;
    if (state.cutPlanesOn) scene.cuts = state.cutShapes;
    if (highlightSelection) scene.highlighted.insert(state.selection.begin(), state.selection.end());
    return scene;
}

// The saved line of a picture: the file, its type and every picture parameter, as the record names them.
Line PictureSavedLine(const std::filesystem::path& file, API_FileTypeID type, const API_SavePars_Picture& picture,
                      PictureSize size) {
    return Line{{"saved", Line{{"file", file.string()},
                               {"type", type},
                               {"colorDepth", picture.colorDepth},
                               {"dithered", picture.dithered != 0},
                               {"view2D", picture.view2D != 0},
                               {"crop", picture.crop != 0},
                               {"keepSelectionHighlight", picture.keepSelectionHighlight != 0},
                               {"width", size.width},
                               {"height", size.height}}}};
}

} // namespace

void HostServices::Register3DCommands() {
    RegisterCommand(APICmd_GetActiveWindow, [this](void* arg1, void*, void*, void*) {
        auto* window = static_cast<API_WindowInfo*>(arg1);
        if (window == nullptr) {
            transcript->Error("GWIN: no window record to fill");
            return APIERR_BADPARS;
        }
        *window = API_WindowInfo{};
        window->typeID = state.activeWindow;
        return NoError;
    });
    RegisterCommand(APICmd_Get3DProjection, [this](void* arg1, void*, void*, void*) {
        auto* projection = static_cast<API_3DProjectionInfo*>(arg1);
        if (projection == nullptr) {
            transcript->Error("GP3D: no projection record to fill");
            return APIERR_BADPARS;
        }
        *projection = state.view3D.projection;
        return NoError;
    });
    RegisterCommand(APICmd_Change3DProjection, [this](void* arg1, void* arg2, void*, void*) {
        const auto* projection = static_cast<const API_3DProjectionInfo*>(arg1);
        if (projection == nullptr) {
            transcript->Error("CP3D: no projection record");
            return APIERR_BADPARS;
        }
        const auto* modeOnly = static_cast<const bool*>(arg2);
        API_3DProjectionInfo changed = state.view3D.projection;
        if (modeOnly != nullptr && *modeOnly) {
            changed.isPersp = projection->isPersp;
        } else if (projection->isPersp) {
            changed.isPersp = true;
            changed.persp = projection->persp;
        } else {
            changed.isPersp = false;
            changed.axono = projection->axono;
        }
        SetProjection(changed);
        return NoError;
    });
    RegisterCommand(APICmd_ShowAllIn3D, [this](void*, void*, void*, void*) {
        ShowAllIn3D();
        return NoError;
    });
    RegisterCommand(APICmd_ShowSelectionIn3D, [this](void*, void*, void*, void*) {
        // As the host's command: without a selection the 3D window shows everything.
        if (state.selection.empty()) {
            ShowAllIn3D();
        } else {
            ShowIn3D(state.selection);
        }
        return NoError;
    });
    RegisterCommand(APICmd_Get3DWindowSets, [this](void* arg1, void*, void*, void*) {
        auto* window = static_cast<API_3DWindowInfo*>(arg1);
        if (window == nullptr) {
            transcript->Error("GW3D: no 3D window record to fill");
            return APIERR_BADPARS;
        }
        *window = state.view3D.window;
        return NoError;
    });
    RegisterCommand(APICmd_Change3DWindowSets, [this](void* arg1, void*, void*, void*) {
        const auto* window = static_cast<const API_3DWindowInfo*>(arg1);
        if (window == nullptr) {
            transcript->Error("CW3D: no 3D window record");
            return APIERR_BADPARS;
        }
        API_3DWindowInfo changed = *window;
        changed.hSize = state.view3D.window.hSize; // the size is the window's, not the caller's
        changed.vSize = state.view3D.window.vSize;
        SetWindow3D(changed);
        return NoError;
    });
    RegisterCommand(APICmd_Zoom, [this](void* arg1, void* arg2, void* arg3, void*) {
        if (arg1 != nullptr || arg2 != nullptr || arg3 != nullptr) {
            transcript->Error("ZOOM: only the fit to the whole view (all arguments null) is simulated");
            return APIERR_BADPARS;
        }
        // The fit is of what the window shows now; what is shown or cut later does not refit it, as on screen.
        if (const std::optional<PictureFit> fit = FitView(state.project, state.view3D, CurrentScene(state, false)))
            state.view3D.fit = *fit;
        transcript->Write(Line{{"zoom3D", "fit"}});
        return NoError;
    });
    RegisterCommand(APICmd_GetSurveyPointTransformation, [this](void* arg1, void*, void*, void*) {
        auto* matrix = static_cast<API_Tranmat*>(arg1);
        if (matrix == nullptr) {
            transcript->Error("SPTR: no matrix to fill");
            return APIERR_BADPARS;
        }
        if (!state.view3D.survey) return APIERR_GENERAL;
        *matrix = *state.view3D.survey;
        return NoError;
    });
}

void HostServices::SetProjection(const API_3DProjectionInfo& projection) {
    if (SameProjection(projection, state.view3D.projection)) return;
    state.view3D.projection = projection;
    state.view3D.fit.reset();
    transcript->Write(Line{{"projection", ProjectionLine(projection)}});
}

void HostServices::SetWindow3D(const API_3DWindowInfo& window) {
    if (SameWindow(window, state.view3D.window)) return;
    state.view3D.window = window;
    state.view3D.fit.reset();
    transcript->Write(Line{{"window3D", WindowLine(window)}});
}

void HostServices::SetSurvey(const std::optional<API_Tranmat>& survey) {
    const std::optional<API_Tranmat>& current = state.view3D.survey;
    if (survey.has_value() == current.has_value() &&
        (!survey || std::equal(std::begin(survey->tmx), std::end(survey->tmx), std::begin(current->tmx))))
        return;
    state.view3D.survey = survey;
    transcript->Write(Line{{"survey", SurveyLine(survey)}});
}

void HostServices::ShowIn3D(const std::vector<API_Guid>& shown) {
    const GuidSet wanted(shown.begin(), shown.end());
    bool changed = false;
    for (ProjectElement& element : state.project.elements) {
        const bool show = wanted.contains(element.guid);
        changed = changed || element.shownIn3D != show;
        element.shownIn3D = show;
    }
    if (changed) WriteShown3D();
}

void HostServices::ShowAllIn3D() {
    bool changed = false;
    for (ProjectElement& element : state.project.elements) {
        changed = changed || !element.shownIn3D;
        element.shownIn3D = true;
    }
    if (changed) WriteShown3D();
}

void HostServices::WriteShown3D() {
    std::vector<API_Guid> shown;
    for (const ProjectElement& element : state.project.elements)
        if (element.shownIn3D) shown.push_back(element.guid);
    if (shown.size() == state.project.elements.size()) {
        transcript->Write(Line{{"shown3D", "all"}});
    } else {
        transcript->Write(Line{{"shown3D", GlobalIdsOf(shown)}});
    }
}

GSErrCode HostServices::SavePicture(const IO::Location& target, const API_SavePars_Picture* picture) {
    if (picture == nullptr) {
        transcript->Error("saveProject: no picture save parameters");
        return APIERR_BADPARS;
    }
    // Every window but the 3D window shows the floor plan here.
    if (state.activeWindow != APIWind_3DModelID) return SavePlanPicture(target, APIFType_PNGFile, picture);
    const std::filesystem::path file = target.ToFileSystemPath();
    if (!WriteViewPicture(file, state.project, state.view3D, CurrentScene(state, picture->keepSelectionHighlight != 0)))
        return APIERR_GENERAL;
    state.savedFiles.push_back(file.string());
    transcript->Write(PictureSavedLine(file, APIFType_PNGFile, *picture, GetPictureSize(state.view3D.window)));
    return NoError;
}

GSErrCode HostServices::SavePlanPicture(const IO::Location& target, API_FileTypeID type,
                                        const API_SavePars_Picture* picture) {
    if (picture == nullptr) {
        transcript->Error("saveProject: no picture save parameters");
        return APIERR_BADPARS;
    }
    if (state.activeWindow == APIWind_3DModelID) return APIERR_NOTSUPPORTED;
    if (!UsablePictureParameters(*picture)) {
        transcript->Error("saveProject: colour depth " + std::to_string(picture->colorDepth) + " is not offered");
        return APIERR_BADPARS;
    }
    const std::optional<PictureSize> size = GetPlanPictureSize(state.project, *picture);
    const std::filesystem::path file = target.ToFileSystemPath();
    const PlanPictureFormat format = type == APIFType_JPGFile ? PlanPictureFormat::Jpeg : PlanPictureFormat::Png;
    if (!size || !WritePlanPicture(file, state.project, *picture, format)) return APIERR_GENERAL;
    state.savedFiles.push_back(file.string());
    transcript->Write(PictureSavedLine(file, type, *picture, *size));
    return NoError;
}

GSErrCode HostServices::SavePlanPdf(const IO::Location& target, const API_SavePars_Pdf* pdf) {
    if (pdf == nullptr) {
        transcript->Error("saveProject: no PDF save parameters");
        return APIERR_BADPARS;
    }
    if (state.activeWindow == APIWind_3DModelID) return APIERR_NOTSUPPORTED;
    const auto number = [](float value) { return Line(static_cast<double>(value)); };
    const Line parameters{{"leftMargin", number(pdf->leftMargin)},
                          {"topMargin", number(pdf->topMargin)},
                          {"rightMargin", number(pdf->rightMargin)},
                          {"bottomMargin", number(pdf->bottomMargin)},
                          {"sizeX", number(pdf->sizeX)},
                          {"sizeY", number(pdf->sizeY)}};
    if (!UsablePdfParameters(*pdf)) {
        transcript->Error("saveProject: unusable PDF page " + parameters.dump());
        return APIERR_BADPARS;
    }
    const std::filesystem::path file = target.ToFileSystemPath();
    if (!WritePlanPdf(file, state.project, *pdf)) return APIERR_GENERAL;
    state.savedFiles.push_back(file.string());
    Line saved{{"file", file.string()}, {"type", APIFType_PdfFile}};
    saved.update(parameters);
    transcript->Write(Line{{"saved", std::move(saved)}});
    return NoError;
}

} // namespace HostSim
