#include "generators/emit/ServiceRecords.h"

#include "generators/emit/TemplateRendering.h"

namespace kx::gen {

namespace {

KxContextObject text(const KxCString& value) {
    return kxcreateContextObject(value);
}

KxContextObject paramRecord(const ServiceParam& param) {
    return kxcreateRecord({{"name", text(param.name)},
                           {"cppType", text(param.cppType)},
                           {"isClass", kxcreateContextObject(param.isClass)},
                           {"isScalar", kxcreateContextObject(param.isScalar)},
                           {"ns", inputText(param.xml.ns)},
                           {"local", inputText(param.xml.local)},
                           {"shown", inputText(param.xml.shown())}});
}

KxContextObject paramList(const std::vector<ServiceParam>& params) {
    std::vector<KxContextObject> records;
    for (const ServiceParam& param : params) {
        records.push_back(paramRecord(param));
    }
    return kxcreateContextObject(std::move(records));
}

}  // namespace

KxContextObject operationRecord(const ServiceOperation& operation) {
    std::vector<ServiceParam> all = operation.inputs;
    for (const auto* params :
         {&operation.inputHeaders, &operation.outputs, &operation.outputHeaders}) {
        all.insert(all.end(), params->begin(), params->end());
    }
    KxRecordFields fields = {{"name", inputText(operation.xmlName)},
                             {"action", inputText(operation.soapAction)},
                             {"documentation", inputText(operation.documentation)},
                             {"messages", inputText(operation.messages)},
                             {"wrapperNs", inputText(operation.wrapperNamespace)},
                             {"method", text(operation.method)},
                             {"resultType", text(resultType(operation))},
                             {"parameters", text(parameterList(operation))},
                             {"unnamedParameters", text(parameterList(operation, true))},
                             {"arguments", text(argumentList(operation))},
                             {"signature", text(signature(operation))},
                             {"inputs", paramList(operation.inputs)},
                             {"outputs", paramList(operation.outputs)},
                             {"inputHeaders", paramList(operation.inputHeaders)},
                             {"outputHeaders", paramList(operation.outputHeaders)},
                             {"allParams", paramList(all)},
                             {"oneWay", kxcreateContextObject(operation.oneWay)},
                             {"rpc", kxcreateContextObject(operation.rpc)}};
    if (operation.result) {
        fields.emplace_back("result", paramRecord(*operation.result));
    }
    if (!operation.inputs.empty()) {
        fields.emplace_back("firstInput", paramRecord(operation.inputs.front()));
    }
    std::vector<ServiceParam> classInputs;
    for (const ServiceParam& param : operation.inputs) {
        if (param.isClass) {
            classInputs.push_back(param);
        }
    }
    fields.emplace_back("classInputs", paramList(classInputs));
    return kxcreateRecord(std::move(fields));
}

namespace {

KxContextObject texts(const std::set<KxCString>& values) {
    std::vector<KxContextObject> records;
    for (const KxCString& value : values) {
        records.push_back(text(value));
    }
    return kxcreateContextObject(std::move(records));
}

}  // namespace

KxContextObject portRecord(const ServicePort& port) {
    std::vector<KxContextObject> operations;
    std::vector<KxCString> rpcOperations;
    for (const ServiceOperation& operation : port.operations) {
        operations.push_back(operationRecord(operation));
        if (operation.rpc) {
            rpcOperations.push_back(operation.xmlName);
        }
    }
    std::vector<KxContextObject> faults;
    std::set<KxCString> faultHeaders;
    for (const ServiceFault& fault : port.faults) {
        faults.push_back(kxcreateRecord({{"className", text(fault.className)},
                                         {"message", inputText(fault.message)},
                                         {"detail", paramRecord(fault.detail)}}));
        if (!fault.detail.header.empty()) {
            faultHeaders.insert(fault.detail.header);
        }
    }
    return kxcreateRecord({{"name", inputText(port.portType->name)},
                           {"documentation", inputText(port.portType->documentation)},
                           {"address", inputText(port.address)},
                           {"address11", inputText(port.address11)},
                           {"address12", inputText(port.address12)},
                           {"prefix", text(port.prefix)},
                           {"soap12", kxcreateContextObject(port.soap12)},
                           {"soapVersionName", text(port.soap12 ? "SOAP 1.2" : "SOAP 1.1")},
                           {"soapVersion", text(port.soap12 ? "orvo::SoapVersion::Soap12"
                                                            : "orvo::SoapVersion::Soap11")},
                           {"classes", texts(port.classes)},
                           {"faultHeaders", texts(faultHeaders)},
                           {"operations", kxcreateContextObject(std::move(operations))},
                           {"faults", kxcreateContextObject(std::move(faults))},
                           {"rpcOperations", inputTexts(rpcOperations)}});
}

}  // namespace kx::gen
