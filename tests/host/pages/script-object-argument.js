var thing = Server.CreateObject("TLTest.Thing");
thing.Describe({ a: 1 });
