// Writes, then fails: the answer holds the error alone.
Response.Write("partial body");
var theError = new Error("failed");
theError.source = "failing.sjs";
theError.description = "<b>bad</b> & \"worse\"";
throw theError;
