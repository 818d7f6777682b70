#include "GSXMLUtils.hpp"

namespace GSXML {

namespace {

void Append(std::u16string& text, const XMLCh* value) {
    if (value != nullptr) text += value;
}

} // namespace

GS::UniString GetTextContent(const xercesc::DOMNode& node) {
    using xercesc::DOMNode;
    switch (node.getNodeType()) {
    case DOMNode::TEXT_NODE:
    case DOMNode::CDATA_SECTION_NODE:
    case DOMNode::COMMENT_NODE:
    case DOMNode::PROCESSING_INSTRUCTION_NODE:
        return ToUniString(node.getNodeValue());
    case DOMNode::DOCUMENT_NODE:
    case DOMNode::DOCUMENT_TYPE_NODE:
    case DOMNode::NOTATION_NODE:
        return GS::UniString();
    default:
        break;
    }

    const DOMNode* current = node.getFirstChild();
    // Most elements hold one text node: no walk, whose climb back asks the DOM for parents, a costly call.
    if (current != nullptr && current->getNextSibling() == nullptr &&
        (current->getNodeType() == DOMNode::TEXT_NODE || current->getNodeType() == DOMNode::CDATA_SECTION_NODE))
        return ToUniString(current->getNodeValue());

    std::u16string text;
    while (current != nullptr) {
        const DOMNode::NodeType type = current->getNodeType();
        if (type == DOMNode::TEXT_NODE || type == DOMNode::CDATA_SECTION_NODE) {
            Append(text, current->getNodeValue());
        } else if (type != DOMNode::COMMENT_NODE && type != DOMNode::PROCESSING_INSTRUCTION_NODE) {
            if (const DOMNode* child = current->getFirstChild()) {
                current = child;
                continue;
            }
        }
        // On to the next node in document order, never above `node`.
        while (current != nullptr && current->getNextSibling() == nullptr) {
            current = current->getParentNode();
            if (current == &node) current = nullptr;
        }
        if (current != nullptr) current = current->getNextSibling();
    }
    return GS::UniString(text);
}

} // namespace GSXML
