#ifndef GSROOT_ARRAY_HPP
#define GSROOT_ARRAY_HPP

#include "Definitions.hpp"
#include "GSException.hpp"

#include <algorithm>
#include <initializer_list>
#include <utility>
#include <vector>

namespace GS {

// Ordered list of values. Access outside the list throws GS::IndexOutOfRangeException.
template <typename T>
class Array {
public:
    using iterator = typename std::vector<T>::iterator;
    using const_iterator = typename std::vector<T>::const_iterator;

    Array() = default;
    Array(std::initializer_list<T> items) : items(items) {}

    USize GetSize() const noexcept { return static_cast<USize>(items.size()); }
    bool IsEmpty() const noexcept { return items.empty(); }
    void Clear() noexcept { items.clear(); }
    void SetSize(USize size) { items.resize(size); }
    void SetCapacity(USize capacity) { items.reserve(capacity); }

    void Push(const T& item) { items.push_back(item); }
    void Push(T&& item) { items.push_back(std::move(item)); }
    template <typename... Args>
    T& PushNew(Args&&... args) {
        return items.emplace_back(std::forward<Args>(args)...);
    }
    void Append(const Array& other) { items.insert(items.end(), other.items.begin(), other.items.end()); }
    void Insert(UIndex at, const T& item) {
        if (at > items.size()) throw IndexOutOfRangeException();
        items.insert(items.begin() + at, item);
    }

    T& operator[](UIndex index) {
        CheckIndex(index);
        return items[index];
    }
    const T& operator[](UIndex index) const {
        CheckIndex(index);
        return items[index];
    }
    T& Get(UIndex index) { return (*this)[index]; }
    const T& Get(UIndex index) const { return (*this)[index]; }
    T& GetFirst() { return (*this)[0]; }
    const T& GetFirst() const { return (*this)[0]; }
    T& GetLast() {
        if (items.empty()) throw IndexOutOfRangeException();
        return items.back();
    }
    const T& GetLast() const {
        if (items.empty()) throw IndexOutOfRangeException();
        return items.back();
    }

    void Delete(UIndex index) {
        CheckIndex(index);
        items.erase(items.begin() + index);
    }
    void DeleteLast() {
        if (items.empty()) throw IndexOutOfRangeException();
        items.pop_back();
    }
    T Pop() {
        if (items.empty()) throw IndexOutOfRangeException();
        T last = std::move(items.back());
        items.pop_back();
        return last;
    }

    UIndex FindFirst(const T& item) const {
        const auto it = std::find(items.begin(), items.end(), item);
        return it == items.end() ? MaxUIndex : static_cast<UIndex>(it - items.begin());
    }
    bool Contains(const T& item) const { return FindFirst(item) != MaxUIndex; }

    iterator begin() noexcept { return items.begin(); }
    iterator end() noexcept { return items.end(); }
    const_iterator begin() const noexcept { return items.begin(); }
    const_iterator end() const noexcept { return items.end(); }

    friend bool operator==(const Array& a, const Array& b) { return a.items == b.items; }

private:
    void CheckIndex(UIndex index) const {
        if (index >= items.size()) throw IndexOutOfRangeException();
    }

    std::vector<T> items;
};

} // namespace GS

#endif
