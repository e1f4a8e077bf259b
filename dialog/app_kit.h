#pragma once
// CAppKit: a member of the dialog with no data or behaviour of its own.
class CAppKit {
public:
    virtual ~CAppKit() = default;
};
