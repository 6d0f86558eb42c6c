#pragma once

#include <string>

// Base of the data objects: carries the text of the last error (UTF-8), empty until a failure,
// and a second line that says which file and why (the file's name with the numbers, or the
// system's reason), empty when there is nothing to add.
class ErrorBase
{
public:
    ErrorBase();
    virtual ~ErrorBase();

    ErrorBase(const ErrorBase &) = delete;
    ErrorBase &operator=(const ErrorBase &) = delete;

    std::string getErrorString() const;
    std::string getErrorDetail() const;
    // Replaces the text and the detail; a later success never clears them.
    void setErrorString(const std::string &text, const std::string &detail = std::string());

private:
    std::string m_errorString;
    std::string m_errorDetail;
    std::string m_objectName;
};
