#pragma once
// The program's open forms, as far as other parts need to know them: their
// captions (other programs may name a form's caption as the topic of a DDE
// conversation with this process). A form derives from TOpenForm and is
// listed from the construction to the destruction of this base.
// Main thread only.
#include <string>
#include <vector>

class TOpenForm {
public:
    TOpenForm(const TOpenForm&) = delete;
    TOpenForm& operator=(const TOpenForm&) = delete;

    virtual std::string Caption() const = 0;

    // In the order the forms were opened.
    static const std::vector<const TOpenForm*>& OpenForms() { return List(); }

protected:
    TOpenForm() { List().push_back(this); }
    virtual ~TOpenForm() { std::erase(List(), this); }

private:
    static std::vector<const TOpenForm*>& List() {
        static std::vector<const TOpenForm*> Forms;
        return Forms;
    }
};
