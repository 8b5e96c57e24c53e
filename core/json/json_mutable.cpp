#include <cmath>

#include "core/json/json_internal.h"

namespace pv {
namespace json_detail {

void MutDoc::restart() {
  ++generation;
  nodes.clear();
  nodeIds.clear();
  nodes.push_back({kNoNode, 0, false});  // kRootNode
}

Value* MutDoc::resolve(std::uint32_t node, std::uint32_t handleGeneration) const noexcept {
  if (!doc || handleGeneration != generation || node >= nodes.size()) return nullptr;
  // Walk down from the root, one step per level; paths are short, so finding each level's
  // node by climbing from the target again is cheaper than keeping a list.
  std::size_t depth = 0;
  for (std::uint32_t n = node; n != kRootNode; n = nodes[n].parent) ++depth;
  Value* v = doc.get();
  for (std::size_t level = depth; level-- > 0;) {
    std::uint32_t n = node;
    for (std::size_t up = 0; up < level; ++up) n = nodes[n].parent;
    const Node& step = nodes[n];
    if (step.byKey) {
      if (!v->IsObject() || step.index >= v->MemberCount()) return nullptr;
      v = &(v->MemberBegin() + step.index)->value;
    } else {
      if (!v->IsArray() || step.index >= v->Size()) return nullptr;
      v = &(*v)[step.index];
    }
  }
  return v;
}

std::uint32_t MutDoc::nodeFor(std::uint32_t parent, bool byKey, std::size_t index) {
  if (index >= 0x80000000u) return kNoNode;
  const std::uint64_t id = (std::uint64_t{parent} << 32) | (index << 1) | (byKey ? 1u : 0u);
  if (auto it = nodeIds.find(id); it != nodeIds.end()) return it->second;
  const auto node = static_cast<std::uint32_t>(nodes.size());
  nodes.push_back({parent, static_cast<std::uint32_t>(index), byKey});
  nodeIds.emplace(id, node);
  return node;
}

}  // namespace json_detail

using json_detail::MutDoc;
using json_detail::Value;

namespace {

const char* bytesOf(std::string_view s) { return s.data() ? s.data() : ""; }

Value copiedString(std::string_view s, json_detail::Allocator& a) {
  return Value(bytesOf(s), static_cast<rapidjson::SizeType>(s.size()), a);
}

}  // namespace

JsonMutValue::operator bool() const noexcept { return MutDoc::value(*this) != nullptr; }
JsonType JsonMutValue::type() const noexcept { return json_detail::typeOf(MutDoc::value(*this)); }
std::size_t JsonMutValue::size() const noexcept { return json_detail::sizeOf(MutDoc::value(*this)); }

JsonMutValue JsonMutValue::child(bool byKey, std::size_t index) const {
  const std::uint32_t node = doc_->nodeFor(node_, byKey, index);
  if (node == MutDoc::kNoNode) return {};
  return doc_->handle(node);
}

JsonMutValue JsonMutValue::member(std::string_view key) const {
  const std::size_t i = json_detail::findMember(MutDoc::value(*this), key);
  return i == json_detail::kNotFound ? JsonMutValue() : child(true, i);
}

JsonMutValue JsonMutValue::element(std::size_t index) const {
  const Value* v = MutDoc::value(*this);
  return v && v->IsArray() && index < v->Size() ? child(false, index) : JsonMutValue();
}

JsonMutValue JsonMutValue::at(std::string_view pointer) const { return json_detail::walkPointer(*this, pointer); }

std::string JsonMutValue::keyAt(std::size_t index) const { return json_detail::keyOf(MutDoc::value(*this), index); }

JsonMutValue JsonMutValue::valueAt(std::size_t index) const {
  const Value* v = MutDoc::value(*this);
  return v && v->IsObject() && index < v->MemberCount() ? child(true, index) : JsonMutValue();
}

std::vector<std::string> JsonMutValue::keys() const { return json_detail::keysOf(MutDoc::value(*this)); }
std::string JsonMutValue::text() const { return json_detail::textOf(MutDoc::value(*this)); }
bool JsonMutValue::equalsText(std::string_view text) const noexcept {
  return json_detail::equalsTextOf(MutDoc::value(*this), text);
}
std::int32_t JsonMutValue::toInt() const noexcept { return json_detail::intOf(MutDoc::value(*this)); }
std::int64_t JsonMutValue::toInt64() const noexcept { return json_detail::int64Of(MutDoc::value(*this)); }
double JsonMutValue::toDouble() const noexcept { return json_detail::doubleOf(MutDoc::value(*this)); }
bool JsonMutValue::toBool() const noexcept { return json_detail::boolOf(MutDoc::value(*this)); }

std::string JsonMutValue::toJson(std::uint32_t flags) const {
  std::string out;
  if (const Value* v = MutDoc::value(*this)) json_detail::writeJson(*v, flags, out);
  return out;
}

bool JsonMutValue::assignNull() {
  Value* v = MutDoc::value(*this);
  if (!v) return false;
  v->SetNull();
  return true;
}

bool JsonMutValue::assignBool(bool value) {
  Value* v = MutDoc::value(*this);
  if (!v) return false;
  v->SetBool(value);
  return true;
}

bool JsonMutValue::assignInt(std::int64_t value) {
  Value* v = MutDoc::value(*this);
  if (!v) return false;
  v->SetInt64(value);
  return true;
}

bool JsonMutValue::assignDouble(double value) {
  Value* v = MutDoc::value(*this);
  if (!v || !std::isfinite(value)) return false;
  v->SetDouble(value);
  return true;
}

bool JsonMutValue::assignString(std::string_view value) {
  Value* v = MutDoc::value(*this);
  if (!v) return false;
  v->SetString(bytesOf(value), static_cast<rapidjson::SizeType>(value.size()), doc_->doc->GetAllocator());
  return true;
}

bool JsonMutValue::assignNewObject() {
  Value* v = MutDoc::value(*this);
  if (!v) return false;
  v->SetObject();
  return true;
}

bool JsonMutValue::assignNewArray() {
  Value* v = MutDoc::value(*this);
  if (!v) return false;
  v->SetArray();
  return true;
}

bool JsonMutValue::assignParsed(std::string_view json) {
  if (!MutDoc::value(*this)) return false;
  // Parsed straight into this document's pool, so moving it in copies nothing.
  json_detail::Document parsed(&doc_->doc->GetAllocator());
  if (!json_detail::parseInto(parsed, json, doc_->flags & kJsonDoubleByteText, doc_->error)) return false;
  *MutDoc::value(*this) = static_cast<Value&>(parsed);
  return true;
}

JsonMutValue JsonMutValue::memberSlot(std::string_view key, bool replace) {
  Value* v = MutDoc::value(*this);
  if (!v || !v->IsObject()) return {};
  if (replace) {
    if (const std::size_t i = json_detail::findMember(v, key); i != json_detail::kNotFound) return child(true, i);
  }
  auto& a = doc_->doc->GetAllocator();
  v->AddMember(copiedString(key, a), Value(), a);
  return child(true, v->MemberCount() - 1);
}

JsonMutValue JsonMutValue::appendSlot() {
  Value* v = MutDoc::value(*this);
  if (!v || !v->IsArray()) return {};
  v->PushBack(Value(), doc_->doc->GetAllocator());
  return child(false, v->Size() - 1);
}

bool JsonMutValue::setNull(std::string_view key, bool replace) { return memberSlot(key, replace).assignNull(); }
bool JsonMutValue::setBool(std::string_view key, bool value, bool replace) {
  return memberSlot(key, replace).assignBool(value);
}
bool JsonMutValue::setInt(std::string_view key, std::int64_t value, bool replace) {
  return memberSlot(key, replace).assignInt(value);
}
bool JsonMutValue::setDouble(std::string_view key, double value, bool replace) {
  return std::isfinite(value) && memberSlot(key, replace).assignDouble(value);
}
bool JsonMutValue::setString(std::string_view key, std::string_view value, bool replace) {
  return memberSlot(key, replace).assignString(value);
}

JsonMutValue JsonMutValue::setNewObject(std::string_view key, bool replace) {
  JsonMutValue slot = memberSlot(key, replace);
  return slot.assignNewObject() ? slot : JsonMutValue();
}

JsonMutValue JsonMutValue::setNewArray(std::string_view key, bool replace) {
  JsonMutValue slot = memberSlot(key, replace);
  return slot.assignNewArray() ? slot : JsonMutValue();
}

bool JsonMutValue::setParsed(std::string_view key, std::string_view json, bool replace) {
  Value* v = MutDoc::value(*this);
  if (!v || !v->IsObject()) return false;
  json_detail::Document parsed(&doc_->doc->GetAllocator());
  if (!json_detail::parseInto(parsed, json, doc_->flags & kJsonDoubleByteText, doc_->error)) return false;
  JsonMutValue slot = memberSlot(key, replace);
  *MutDoc::value(slot) = static_cast<Value&>(parsed);
  return true;
}

bool JsonMutValue::removeMember(std::string_view key) {
  Value* v = MutDoc::value(*this);
  bool removed = false;
  for (std::size_t i; (i = json_detail::findMember(v, key)) != json_detail::kNotFound; removed = true) {
    v->EraseMember(v->MemberBegin() + i);  // keeps the order of the others
  }
  return removed;
}

bool JsonMutValue::appendNull() { return appendSlot().assignNull(); }
bool JsonMutValue::appendBool(bool value) { return appendSlot().assignBool(value); }
bool JsonMutValue::appendInt(std::int64_t value) { return appendSlot().assignInt(value); }
bool JsonMutValue::appendDouble(double value) { return std::isfinite(value) && appendSlot().assignDouble(value); }
bool JsonMutValue::appendString(std::string_view value) { return appendSlot().assignString(value); }

JsonMutValue JsonMutValue::appendNewObject() {
  JsonMutValue slot = appendSlot();
  return slot.assignNewObject() ? slot : JsonMutValue();
}

JsonMutValue JsonMutValue::appendNewArray() {
  JsonMutValue slot = appendSlot();
  return slot.assignNewArray() ? slot : JsonMutValue();
}

bool JsonMutValue::appendParsed(std::string_view json) {
  Value* v = MutDoc::value(*this);
  if (!v || !v->IsArray()) return false;
  json_detail::Document parsed(&doc_->doc->GetAllocator());
  if (!json_detail::parseInto(parsed, json, doc_->flags & kJsonDoubleByteText, doc_->error)) return false;
  v->PushBack(static_cast<Value&>(parsed), doc_->doc->GetAllocator());
  return true;
}

bool JsonMutValue::removeElement(std::size_t index) {
  Value* v = MutDoc::value(*this);
  if (!v || !v->IsArray() || index >= v->Size()) return false;
  v->Erase(v->Begin() + index);
  return true;
}

bool JsonMutValue::clear() {
  Value* v = MutDoc::value(*this);
  if (v && v->IsObject()) {
    v->RemoveAllMembers();
    return true;
  }
  if (v && v->IsArray()) {
    v->Clear();
    return true;
  }
  return false;
}

JsonMutableDocument::JsonMutableDocument() : doc_(std::make_unique<MutDoc>()) { doc_->restart(); }
JsonMutableDocument::~JsonMutableDocument() = default;
JsonMutableDocument::JsonMutableDocument(JsonMutableDocument&&) noexcept = default;
JsonMutableDocument& JsonMutableDocument::operator=(JsonMutableDocument&&) noexcept = default;

JsonMutValue JsonMutableDocument::createObjectRoot() {
  if (!doc_) doc_ = std::make_unique<MutDoc>();
  doc_->restart();
  doc_->flags = kJsonNoFlags;
  doc_->error.clear();
  doc_->doc = std::make_unique<json_detail::Document>(rapidjson::kObjectType);
  return doc_->handle(MutDoc::kRootNode);
}

JsonMutValue JsonMutableDocument::createArrayRoot() {
  JsonMutValue root = createObjectRoot();
  root.assignNewArray();
  return root;
}

bool JsonMutableDocument::parse(std::string_view text, std::uint32_t flags) {
  if (!doc_) doc_ = std::make_unique<MutDoc>();
  doc_->restart();
  doc_->doc.reset();
  doc_->flags = flags;
  auto parsed = std::make_unique<json_detail::Document>();
  if (!json_detail::parseInto(*parsed, text, flags, doc_->error)) return false;
  doc_->doc = std::move(parsed);
  return true;
}

bool JsonMutableDocument::parse(const std::vector<std::uint8_t>& bytes, std::uint32_t flags) {
  return parse(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), flags);
}

JsonMutValue JsonMutableDocument::root() const noexcept {
  return doc_ && doc_->doc ? doc_->handle(MutDoc::kRootNode) : JsonMutValue();
}

std::string JsonMutableDocument::serialize(std::uint32_t flags) const {
  std::string out;
  if (doc_ && doc_->doc) json_detail::writeJson(*doc_->doc, flags | (doc_->flags & kJsonDoubleByteText), out);
  return out;
}

const std::string& JsonMutableDocument::errorText() const noexcept {
  static const std::string kNone;
  return doc_ ? doc_->error : kNone;
}

}  // namespace pv
