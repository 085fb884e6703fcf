#include "commands/IFMAIN_gen_keyword_multi.h"

#include "commands/Value_keyword_multi.h"
#include "remote/IKeywordBridge.h"
#include "remote/ZOCmdArg.h"

#include <cstring>

namespace {

Value_keyword_multi *keywordList(zostd::IValue *value)
{
    if (!value || std::strcmp(value->getKvType(), Value_keyword_multi::kvtype) != 0)
        return nullptr;
    return static_cast<Value_keyword_multi *>(value);
}

} // namespace

short IFMAIN_gen_keyword_multi::OnSet(const zo4882::ZO_PARSER_RESULT *result) const
{
    Value_keyword_multi *list = keywordList(m_value);
    if (!list)
        return 0;
    const zostd::IKeywordBridge *bridge = list->getKeywordBridge();
    QVector<unsigned char> indexes;
    for (const zo4882::ZOCmdArg *arg = result->args; arg; arg = arg->next()) {
        const int index = bridge ? bridge->getMappedValue(arg->toString().toStdString()) : -1;
        if (index < 0 || index > 255)
            return -224;
        if (indexes.contains(static_cast<unsigned char>(index)))
            return 202;
        indexes << static_cast<unsigned char>(index);
    }
    return short(list->setValue(indexes));
}

short IFMAIN_gen_keyword_multi::OnQuery(
    const zo4882::ZO_PARSER_RESULT *, zo4882::ZOCmdArg **answer) const
{
    const Value_keyword_multi *list = keywordList(m_value);
    if (!list)
        return 0;
    const zostd::IKeywordBridge *bridge = list->getKeywordBridge();
    zo4882::ZOCmdArg *chain = nullptr;
    for (unsigned char index : list->getValue()) {
        const std::string word = bridge ? bridge->getMappedKeyword(index) : std::string();
        auto *item = new zo4882::ZOCmdArg(word.c_str(), zo4882::ZOCmdArg::KIND_CHAR);
        if (chain)
            *chain << item;
        else
            chain = item;
    }
    *answer = chain;
    return 0;
}
