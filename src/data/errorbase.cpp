#include "errorbase.h"

ErrorBase::ErrorBase() : m_objectName("Unnamed object") { }

ErrorBase::~ErrorBase() = default;

std::string ErrorBase::getErrorString() const { return m_errorString; }

std::string ErrorBase::getErrorDetail() const { return m_errorDetail; }

void ErrorBase::setErrorString(const std::string &text, const std::string &detail)
{
    m_errorString = text;
    m_errorDetail = detail;
}
