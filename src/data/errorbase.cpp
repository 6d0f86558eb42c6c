#include "errorbase.h"

ErrorBase::ErrorBase() : m_objectName("Unnamed object") { }

ErrorBase::~ErrorBase() = default;

std::string ErrorBase::getErrorString() const { return m_errorString; }

void ErrorBase::setErrorString(const std::string &text) { m_errorString = text; }
