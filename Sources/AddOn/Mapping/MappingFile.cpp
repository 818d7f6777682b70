#include "MappingFile.hpp"

#include "DOMReader.hpp"
#include "GSXMLUtils.hpp"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace {

using xercesc::DOMElement;

constexpr std::u16string_view RootName = u"SchemeItemList";

// In the order of the kinds they stand for.
constexpr std::array<std::u16string_view, 5> KindNames = {
    u"TypePropertySingleValue", u"TypePropertyEnumeratedValue", u"TypePropertyBoundedValue",
    u"TypePropertyListValue",   u"TypePropertyTableValue",
};

bool HasTagName(const DOMElement& element, std::u16string_view name) {
    return std::u16string_view(element.getTagName()) == name;
}

// The reader's DOM has no entity reference nodes, so elements are found among plain siblings. The DOM's own
// element walks also look for those through each parent, with casts that make up much of a large file's load.
const DOMElement* ElementFrom(const xercesc::DOMNode* node) {
    while (node != nullptr && node->getNodeType() != xercesc::DOMNode::ELEMENT_NODE)
        node = node->getNextSibling();
    return static_cast<const DOMElement*>(node);
}

const DOMElement* FirstElementChild(const DOMElement& element) {
    return ElementFrom(element.getFirstChild());
}

const DOMElement* NextElementSibling(const DOMElement& element) {
    return ElementFrom(element.getNextSibling());
}

// Names as the DOM's own text: no conversion per lookup. A parsed attribute's value is one text node, read
// directly; the DOM's getValue pays a cast for that each time.
GS::UniString Attribute(const DOMElement& element, const XMLCh* name) {
    const xercesc::DOMAttr* attribute = element.getAttributeNode(name);
    if (attribute == nullptr) return GS::UniString();
    const xercesc::DOMNode* text = attribute->getFirstChild();
    if (text != nullptr && text->getNextSibling() == nullptr && text->getNodeType() == xercesc::DOMNode::TEXT_NODE)
        return GSXML::ToUniString(text->getNodeValue());
    return GSXML::ToUniString(attribute->getValue());
}

// The first element of that name below `element` in document order, at any depth: what the DOM's search by tag
// name gives as item 0. Walked here because each of the DOM's searches leaves a cached node list in the document,
// which makes a large file's load grow far faster than its size. The reader bounds the depth of the recursion.
const DOMElement* FindDescendant(const DOMElement& element, std::u16string_view name) {
    for (const DOMElement* child = FirstElementChild(element); child != nullptr; child = NextElementSibling(*child)) {
        if (HasTagName(*child, name)) return child;
        if (const DOMElement* found = FindDescendant(*child, name)) return found;
    }
    return nullptr;
}

// The kind named by the first direct child element with one of the kind names.
std::optional<UInt32> FindPropertyKind(const DOMElement& propertyType) {
    for (const DOMElement* child = FirstElementChild(propertyType); child != nullptr;
         child = NextElementSibling(*child)) {
        for (std::size_t kind = 0; kind < KindNames.size(); ++kind)
            if (HasTagName(*child, KindNames[kind])) return static_cast<UInt32>(kind);
    }
    return std::nullopt;
}

struct MappedProperty {
    GS::UniString ifcEntityType;
    GS::UniString propertySetName;
    PropertyMapData data;
};

std::optional<MappedProperty> ReadSchemeProperty(const DOMElement& element) {
    MappedProperty result;
    result.ifcEntityType = Attribute(element, u"IFCEntityType");
    result.propertySetName = Attribute(element, u"PropertySetName");
    if (result.ifcEntityType.IsEmpty() || result.propertySetName.IsEmpty()) return std::nullopt;

    const DOMElement* value = FindDescendant(element, u"ACPropertyValue");
    if (value == nullptr) return std::nullopt;
    result.data.propertyDefinitionGroupName = Attribute(*value, u"PropertyDefinitionGroupName");
    result.data.propertyDefinitionName = Attribute(*value, u"PropertyDefinitionName");

    const DOMElement* definition = FindDescendant(element, u"PropertyDef");
    if (definition == nullptr) return std::nullopt;
    const DOMElement* name = FindDescendant(*definition, u"Name");
    if (name == nullptr) return std::nullopt;
    result.data.name = GSXML::GetTextContent(*name);

    const DOMElement* propertyType = FindDescendant(*definition, u"PropertyType");
    if (propertyType == nullptr) return std::nullopt;
    const std::optional<UInt32> kind = FindPropertyKind(*propertyType);
    if (!kind) return std::nullopt;
    result.data.propertyKind = static_cast<PropertyKind>(*kind);

    const DOMElement* dataType = FindDescendant(*definition, u"DataType");
    if (dataType == nullptr) return std::nullopt;
    result.data.dataType = Attribute(*dataType, u"type");
    return result;
}

// XML text holds no U+0000, so it separates the two names unambiguously.
std::u16string PairKey(const GS::UniString& entityType, const GS::UniString& propertySetName) {
    std::u16string key = entityType.ToU16String();
    key += u'\0';
    key += propertySetName.ToU16String();
    return key;
}

} // namespace

bool ReadMappingFile(const IO::Location& file, GS::Array<SchemeProperty>& list) {
    const GSXML::DOMReader reader(file, GS::UniString(RootName.data()));
    const DOMElement* root = reader.GetActualNode();
    if (root == nullptr || !HasTagName(*root, RootName)) return false;

    list.Clear();
    // The list holds each pair once, so the first entry of a pair is the only one: an index finds it directly.
    std::unordered_map<std::u16string, UIndex> entryOfPair;
    for (const DOMElement* child = FirstElementChild(*root); child != nullptr; child = NextElementSibling(*child)) {
        if (!HasTagName(*child, u"SchemeProperty")) continue;
        std::optional<MappedProperty> property = ReadSchemeProperty(*child);
        if (!property) continue;

        const auto [it, isNew] =
            entryOfPair.try_emplace(PairKey(property->ifcEntityType, property->propertySetName), list.GetSize());
        if (isNew) {
            SchemeProperty entry;
            entry.ifcEntityType = std::move(property->ifcEntityType);
            entry.propertySetName = std::move(property->propertySetName);
            entry.properties = GS::NewOwned<GS::Array<PropertyMapData>>();
            list.Push(std::move(entry));
        }
        list[it->second].properties->Push(std::move(property->data));
    }
    return true;
}
