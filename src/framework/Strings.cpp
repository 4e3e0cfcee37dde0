#include "framework/Strings.h"

#include <algorithm>

#include "framework/Exceptions.h"
#include "framework/Numbers.h"

int TStrings::Add(const std::string& Text) {
    int Index = Count();
    Insert(Index, Text);
    return Index;
}

int TStrings::IndexOf(const std::string& Text) const {
    const std::string Wanted = AsciiUpperCase(Text);
    for (int I = 0; I < Count(); ++I)
        if (AsciiUpperCase(Strings(I)) == Wanted)
            return I;
    return -1;
}

void TStrings::Assign(const TStrings& Source) {
    if (&Source == this)
        return;
    std::vector<std::string> Texts = Source.ToVector();
    Clear();
    for (const std::string& Text : Texts)
        Add(Text);
}

std::vector<std::string> TStrings::ToVector() const {
    std::vector<std::string> Texts;
    Texts.reserve(Count());
    for (int I = 0; I < Count(); ++I)
        Texts.push_back(Strings(I));
    return Texts;
}

void TStrings::CheckIndex(int Index, int Limit) {
    if (Index < 0 || Index >= Limit)
        throw Exception("List index out of bounds (" + std::to_string(Index) + ")");
}

const std::string& TStringList::Strings(int Index) const {
    CheckIndex(Index, Count());
    return FItems[Index];
}

void TStringList::Insert(int Index, const std::string& Text) {
    CheckIndex(Index, Count() + 1);
    FItems.insert(FItems.begin() + Index, Text);
}

void TStringList::Delete(int Index) {
    CheckIndex(Index, Count());
    FItems.erase(FItems.begin() + Index);
}

void TStringList::Sort(const TCompare& Less) {
    if (Less)
        std::stable_sort(FItems.begin(), FItems.end(), Less);
    else
        std::stable_sort(FItems.begin(), FItems.end());
}
