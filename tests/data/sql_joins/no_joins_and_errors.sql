-- feature: texts without JOINs, statements without queries, and texts that do not parse
-- default_db: DB
-- default_schema: S

-- case: comma joins only
-- joins: none
select * from a, b, c where a.id = b.id and b.id = c.id

-- case: single table
-- joins: none
select count(*) from events where ts > current_timestamp - interval '1 day'

-- case: session statement
-- joins: none
use warehouse analytics_wh

-- case: procedure body in a dollar-quoted string
-- joins: none
create or replace procedure refresh() returns string language sql as
$$
begin
  insert into t select * from a join b on a.id = b.id;
  return 'ok';
end;
$$

-- case: joins in the second of two statements
-- join: INNER | db.s.p | db.s.q
use schema db.s; select * from p join q on p.id = q.id;

-- case: unterminated comment
-- error: syntax error at line 1, column 22: unterminated comment
select * from a join /* b on a.id = b.id

-- case: join without a table
-- error: expected a table
select * from a join on a.id = b.id

-- case: unbalanced parenthesis
-- error: expected ')'
select (a from t

-- case: a question is no SQL
-- error: syntax error at line 1, column 1: unexpected 'Which'; expected a statement
Which customers joined last month?

-- case: a JSON document is no SQL
-- error: syntax error at line 1, column 1: unexpected '{'; expected a statement
{"query": "select * from a join b on a.id = b.id"}

-- case: unterminated ODBC escape
-- error: expected '}'
select {fn ucase(a.x) from a join b on a.id = b.id

-- case: object constant with a bare name
-- error: expected a string key
select {x} from t join u on t.id = u.id
