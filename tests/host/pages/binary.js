var thing = Server.CreateObject("TLTest.Thing");
Response.BinaryWrite(thing.Bytes(5));
