#include "installer/InstallResult.h"

#include <json/json.h>

#include <cstring>

#include "base/TextConvert.h"

std::string WriteStyledResult(const InstallResult& result) {
    Json::Value value(Json::objectValue);
    value["nErrorCode"] = result.nErrorCode;
    // The texts are ANSI (they carry request text such as an overlay key or
    // a version); the writer takes UTF-8 and escapes what is not ASCII.
    value["strErrorDesc"] = AnsiToUtf8(result.strErrorDesc);
    value["strLogAppend"] = AnsiToUtf8(result.strLogAppend);
    // The styled writer's layout (three-blank indent, " : ", one member per
    // line) is what callers of doInst parse and compare against.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    Json::StyledWriter writer;
    return writer.write(value);
#pragma GCC diagnostic pop
}

char* MakeResultBlock(const std::string& styled) {
    if (styled.empty())
        return nullptr;
    const size_t size = styled.size();
    char* block = new char[size];
    std::memset(block, 0, size);
    std::memcpy(block, styled.data(), size - 1);
    return block;
}
