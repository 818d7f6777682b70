#include "PageBridge.hpp"

#include "ScriptValues.hpp"

#include <cmath>
#include <limits>
#include <stdexcept>

namespace HostSim::PageBridge {

namespace {

// The bridge of one document: it keeps the calls waiting for the host and tags the arguments.
constexpr const char* BridgeScript = R"JS(
  const bridgeKey = "__hostsimBridge";
  let bridge = globalThis[bridgeKey];
  if (bridge === undefined) {
    const send = globalThis[bindingName];
    if (typeof send !== "function") return;
    const pending = new Map();
    let next = 0;
    const encode = (value, depth, seen) => {
      switch (typeof value) {
      case "undefined": case "function": case "symbol": return ["u"];
      case "boolean": return ["b", value];
      case "string": return ["s", value.toWellFormed()];
      case "bigint": value = Number(value); // falls through
      case "number":
        if (Number.isInteger(value) && value >= -2147483648 && value <= 2147483647 && !Object.is(value, -0))
          return ["i", value];
        return ["d", Number.isFinite(value) ? value : String(value)];
      }
      if (value === null) return ["n"];
      if (depth >= maxDepth) throw new RangeError("the value nests deeper than " + maxDepth + " levels");
      if (seen.has(value)) throw new TypeError("the value contains itself");
      seen.add(value);
      const encoded = Array.isArray(value)
        ? ["a", Array.from(value, item => encode(item, depth + 1, seen))]
        : ["o", Object.keys(value).map(key => [key, encode(value[key], depth + 1, seen)])];
      seen.delete(value);
      return encoded;
    };
    bridge = {
      call(object, name, args) {
        return new Promise((resolve, reject) => {
          const request = {id: ++next, object, function: name};
          if (args.length > 0) request.arg = encode(args[0], 0, new Set());
          pending.set(request.id, {resolve, reject});
          send(JSON.stringify(request));
        });
      },
      settle(id, ok, value) {
        const call = pending.get(id);
        if (call === undefined) return;
        pending.delete(id);
        if (ok) call.resolve(value); else call.reject(value);
      },
    };
    Object.defineProperty(globalThis, bridgeKey, {value: bridge});
  }
)JS";

// A JSON text is a script literal; ASCII only, so that no line separator or odd byte can end it early.
template <typename Json>
std::string Literal(const Json& value) {
    return value.dump(-1, ' ', true, Json::error_handler_t::replace);
}

GS::Ref<JS::Base> Decode(const nlohmann::json& tagged, std::size_t depth) {
    if (!tagged.is_array() || tagged.empty() || !tagged[0].is_string())
        throw std::invalid_argument("a value the bridge did not tag");
    const std::string tag = tagged[0].get<std::string>();
    const bool hasPayload = tagged.size() == 2;
    const nlohmann::json& payload = hasPayload ? tagged[1] : tagged[0];
    if (tag == "u" && !hasPayload) return GS::NewRef<JS::Value>();
    if (tag == "n" && !hasPayload) return {};
    if (tag == "b" && payload.is_boolean()) return GS::NewRef<JS::Value>(payload.get<bool>());
    if (tag == "i" && payload.is_number_integer()) {
        const auto number = payload.get<std::int64_t>();
        if (number >= std::numeric_limits<Int32>::min() && number <= std::numeric_limits<Int32>::max())
            return GS::NewRef<JS::Value>(static_cast<Int32>(number));
    }
    if (tag == "d" && hasPayload) {
        if (payload.is_number()) return GS::NewRef<JS::Value>(payload.get<double>());
        const double infinity = std::numeric_limits<double>::infinity();
        if (payload == "NaN") return GS::NewRef<JS::Value>(std::numeric_limits<double>::quiet_NaN());
        if (payload == "Infinity") return GS::NewRef<JS::Value>(infinity);
        if (payload == "-Infinity") return GS::NewRef<JS::Value>(-infinity);
    }
    if (tag == "s" && payload.is_string()) return GS::NewRef<JS::Value>(ToUniString(payload.get<std::string>()));
    if ((tag == "a" || tag == "o") && payload.is_array()) {
        if (depth + 1 > MaxScriptValueDepth)
            throw std::invalid_argument("the value nests deeper than " + std::to_string(MaxScriptValueDepth) +
                                        " levels");
        if (tag == "a") {
            auto array = GS::NewRef<JS::Array>();
            for (const nlohmann::json& item : payload)
                array->AddItem(Decode(item, depth + 1));
            return array;
        }
        auto object = GS::NewRef<JS::Object>();
        for (const nlohmann::json& item : payload) {
            if (!item.is_array() || item.size() != 2 || !item[0].is_string())
                throw std::invalid_argument("an object item the bridge did not tag");
            object->AddItem(ToUniString(item[0].get<std::string>()), Decode(item[1], depth + 1));
        }
        return object;
    }
    throw std::invalid_argument("a value the bridge did not tag: " +
                                tagged.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
}

std::string SettleScript(std::uint64_t id, bool ok, const std::string& literal) {
    return "globalThis.__hostsimBridge?.settle(" + std::to_string(id) + ", " + (ok ? "true" : "false") + ", " +
           literal + ")";
}

} // namespace

std::string DefineObjectScript(const std::string& objectName, const std::vector<std::string>& functions) {
    return "(() => {\n  const bindingName = " + Literal(nlohmann::json(BindingName)) +
           ";\n  const maxDepth = " + std::to_string(MaxScriptValueDepth) + ";\n" + BridgeScript +
           "  const objectName = " + Literal(nlohmann::json(objectName)) +
           ";\n  const object = {};\n  for (const name of " + Literal(nlohmann::json(functions)) +
           ")\n    object[name] = (...args) => bridge.call(objectName, name, args);\n"
           "  globalThis[objectName] = Object.freeze(object);\n})();\n";
}

std::optional<CallRequest> ParseCall(const std::string& payload) {
    const nlohmann::json message = nlohmann::json::parse(payload, nullptr, false);
    if (!message.is_object()) return std::nullopt;
    const auto id = message.find("id");
    const auto object = message.find("object");
    const auto function = message.find("function");
    if (id == message.end() || !id->is_number_unsigned() || object == message.end() || !object->is_string() ||
        function == message.end() || !function->is_string())
        return std::nullopt;
    CallRequest request{id->get<std::uint64_t>(), object->get<std::string>(), function->get<std::string>(), {}};
    if (const auto arg = message.find("arg"); arg != message.end()) request.argument = *arg;
    return request;
}

GS::Ref<JS::Base> DecodeArgument(const nlohmann::json& tagged) {
    return Decode(tagged, 0);
}

std::string ResolveScript(std::uint64_t id, const Line& value) {
    return SettleScript(id, true, Literal(value));
}

std::string RejectScript(std::uint64_t id, const std::string& message) {
    return SettleScript(id, false, Literal(nlohmann::json(message)));
}

} // namespace HostSim::PageBridge
