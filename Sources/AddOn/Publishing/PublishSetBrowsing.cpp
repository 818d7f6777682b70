#include "PublishSetBrowsing.hpp"

#include "PublishState.hpp"
#include "QuillmarPalette.hpp"
#include "ScriptArguments.hpp"

#include "HostBinding/HostOperations.hpp"

#include "Guid.hpp"
#include "JDOMStringParser.hpp"
#include "JDOMStringWriter.hpp"
#include "JSONValues.hpp"

#include <unordered_set>

namespace {

// Deeper trees come from a damaged project; past this the walk would only risk the stack.
constexpr UInt32 MaxItemDepth = 64;

GS::UniString WriteJson(const JSON::ValueRef& value) {
    JSON::JDOMStringWriter writer(false, 10);
    writer.Write(value);
    return writer.GetString();
}

GS::UniString GuidText(const API_Guid& guid) {
    return APIGuid2GSGuid(guid).ToUniString();
}

// A depth-first walk of one node's subtree that the host's answers cannot make endless: each GUID is descended into
// at most once and never below MaxItemDepth.
class ItemTreeWalk {
public:
    // The children array of the node at `depth` (the root is 0); empty when it has no children or the host cannot
    // give them.
    GS::Ref<JSON::ArrayValue> Children(const API_Guid& node, UInt32 depth) {
        visited.insert(APIGuid2GSGuid(node));
        API_NavigatorItem parent;
        parent.guid = node;
        parent.mapId = API_PublisherSets;
        GS::Array<API_NavigatorItem> items;
        if (ACAPI_Navigator_GetNavigatorChildrenItems(&parent, &items) != NoError || items.IsEmpty())
            return GS::Ref<JSON::ArrayValue>();
        GS::Ref<JSON::ArrayValue> array = GS::NewRef<JSON::ArrayValue>();
        for (const API_NavigatorItem& item : items) {
            GS::Ref<JSON::ObjectValue> object = GS::NewRef<JSON::ObjectValue>();
            object->Add("title", item.uName);
            object->Add("key", GuidText(item.guid));
            GS::Ref<JSON::ArrayValue> children;
            if (depth + 1 < MaxItemDepth && !visited.contains(APIGuid2GSGuid(item.guid)))
                children = Children(item.guid, depth + 1);
            if (children != nullptr) {
                object->Add("children", JSON::ValueRef(children));
            } else {
                object->Add("isLeaf", true);
            }
            array->Add(object);
        }
        return array;
    }

private:
    std::unordered_set<GS::Guid> visited;
};

} // namespace

GS::Ref<JS::Base> GetPublishSetHeaders(const GS::Ref<JS::Base>&) {
    Int32 count = 0;
    if (ACAPI_Navigator_GetNavigatorSetNum(&count) != NoError) return MakeStringResult(GS::UniString());
    GS::Ref<JSON::ArrayValue> headers = GS::NewRef<JSON::ArrayValue>();
    for (Int32 index = 0; index < count; ++index) {
        API_NavigatorSet set;
        set.mapId = API_PublisherSets;
        // A set the host cannot read is still listed, from the cleared record.
        (void)ACAPI_Navigator_GetNavigatorSet(&set, &index);
        set.name[API_LongNameLen - 1] = '\0';
        GS::Ref<JSON::ObjectValue> header = GS::NewRef<JSON::ObjectValue>();
        header->Add("title", set.name);
        header->Add("guid", GuidText(set.guid));
        header->Add("rootGuid", GuidText(set.rootGuid));
        header->Add("index", index);
        headers->Add(header);
    }
    return MakeStringResult(WriteJson(headers));
}

GS::Ref<JS::Base> GetPublishSetItems(const GS::Ref<JS::Base>& argument) {
    // A request of another shape reads as one without a root, rather than failing the page's call.
    const GS::Ref<JSON::ObjectValue> request =
        GS::DynamicCast<JSON::ObjectValue>(JSON::JDOMStringParser().Parse(DecodeStringArgument(argument)));
    if (request == nullptr) return MakeStringResult(GS::UniString());
    const GS::Ref<JSON::StringValue> rootGuid = request->GetAs<JSON::StringValue>("rootGuid");
    if (rootGuid == nullptr) return MakeStringResult(GS::UniString());
    const GS::Ref<JSON::ArrayValue> tree = ItemTreeWalk().Children(GSGuid2APIGuid(GS::Guid(rootGuid->Get())), 0);
    if (tree == nullptr) return MakeStringResult(GS::UniString());
    return MakeStringResult(WriteJson(tree));
}

GS::Ref<JS::Base> GetPublishItems(const GS::Ref<JS::Base>& argument) {
    const GS::UniString projectId = DecodeStringArgument(argument);
    if (!QuillmarPalette::HasInstance()) return MakeStringResult("[]");
    const PublishRecord& record = QuillmarPalette::GetInstance().GetPublishState().publishRecord;
    if (projectId != record.projectId) return MakeStringResult("[]");
    GS::Ref<JSON::ObjectValue> result = GS::NewRef<JSON::ObjectValue>();
    result->Add("publishSet", record.publishSet);
    result->Add("publishItems", record.publishItems);
    return MakeStringResult(WriteJson(result));
}
