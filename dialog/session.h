#pragma once
// CSession: a member of the dialog with no data or behaviour of its own.
class CSession {
public:
    virtual ~CSession() = default;
};
