var thing = Server.CreateObject("TLTest.Thing");
thing.Frobnicate(1);
