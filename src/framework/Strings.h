#pragma once
// String lists: an ordered list of texts. TStrings is what a consumer fills
// or reads (a combo box's items, a temporary list); TStringList keeps its
// texts in memory. Main thread only.
#include <functional>
#include <string>
#include <vector>

class TStrings {
public:
    virtual ~TStrings() = default;

    virtual int Count() const = 0;
    // An index outside [0, Count()) (Count() included for Insert) raises
    // Exception.
    virtual const std::string& Strings(int Index) const = 0;
    virtual void Insert(int Index, const std::string& Text) = 0;
    virtual void Delete(int Index) = 0;
    virtual void Clear() = 0;

    int Add(const std::string& Text);
    // Position of the first whole text equal to Text, ASCII letter case
    // ignored; -1 when there is none.
    int IndexOf(const std::string& Text) const;
    // Replaces the contents with Source's texts (Source may be this list).
    void Assign(const TStrings& Source);
    std::vector<std::string> ToVector() const;

protected:
    // Raises Exception unless 0 <= Index < Limit.
    static void CheckIndex(int Index, int Limit);
};

class TStringList : public TStrings {
public:
    // True when Left sorts before Right.
    using TCompare = std::function<bool(const std::string& Left, const std::string& Right)>;

    int Count() const override { return static_cast<int>(FItems.size()); }
    const std::string& Strings(int Index) const override;
    void Insert(int Index, const std::string& Text) override;
    void Delete(int Index) override;
    void Clear() override { FItems.clear(); }

    // Stable sort; byte order when no comparison is given.
    void Sort(const TCompare& Less = {});

private:
    std::vector<std::string> FItems;
};
