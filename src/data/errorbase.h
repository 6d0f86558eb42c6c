#pragma once

#include <string>

// Base of the data objects: carries the text of the last error (UTF-8), empty until a failure.
class ErrorBase
{
public:
    ErrorBase();
    virtual ~ErrorBase();

    ErrorBase(const ErrorBase &) = delete;
    ErrorBase &operator=(const ErrorBase &) = delete;

    std::string getErrorString() const;
    // Replaces the text; a later success never clears it.
    void setErrorString(const std::string &text);

private:
    std::string m_errorString;
    std::string m_objectName;
};
