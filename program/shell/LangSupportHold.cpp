#include "LangSupportHold.h"

#include "LangSupport.h"
#include "WindowTranslation.h"

bool CProgramLanguage::Begin(const wchar_t* fileName)
{
    if (m_language == nullptr)
        m_language = LangSupport();
    const bool loaded = SetLanguageFile(fileName != nullptr ? fileName : L"");
    TranslateFrameworkTexts(m_language);
    return loaded;
}

void CProgramLanguage::End()
{
    if (m_language == nullptr)
        return;
    TranslateFrameworkTexts(nullptr);
    CLangSupport::Release(m_language);
    m_language = nullptr;
}
