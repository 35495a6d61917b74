-- The two tables of the clinic's calling system that the panel reads, as the tests and the
-- demo create them. The panel itself never creates or changes anything in the database.
-- Statements end with ";" at the end of a line.

CREATE TABLE GUICHE (
  INDICE INTEGER NOT NULL PRIMARY KEY,
  NOME VARCHAR(40),
  APELIDO VARCHAR(20)
);

CREATE TABLE GUICHELISTA (
  INDICE INTEGER NOT NULL PRIMARY KEY,
  CODIGOPAC INTEGER NOT NULL,
  DATA TIMESTAMP NOT NULL,
  GUICHE INTEGER NOT NULL,
  SENHA INTEGER NOT NULL,
  STATUS CHAR(1),
  NR_GUICHE_CHAMOU VARCHAR(50),
  DATAUSER2 TIMESTAMP
);
