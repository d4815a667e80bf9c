-- wrk script: every request POSTs the SOAP envelope of the file named by
-- KX_SOAP_BODY (bench/soap/add.xml by default) with the SOAPAction
-- KX_SOAP_ACTION (that of Add by default).
local path = os.getenv("KX_SOAP_BODY") or "bench/soap/add.xml"
local file = assert(io.open(path, "rb"))
wrk.method = "POST"
wrk.body = file:read("*a")
file:close()
wrk.headers["Content-Type"] = "text/xml; charset=utf-8"
wrk.headers["SOAPAction"] = '"' .. (os.getenv("KX_SOAP_ACTION") or "urn:kxtest:calc/Add") .. '"'
