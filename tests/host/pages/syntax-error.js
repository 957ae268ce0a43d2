Response.Write("never");
var x = ;
