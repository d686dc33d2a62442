-- feature: ODBC escapes that BI tools write ({fn}, {d}, {ts}, {oj}) and object wildcards ({*}, {t.*})
-- default_db: ANALYTICS
-- default_schema: PUBLIC

-- case: function and literal escapes in the select list, condition and filter
-- join: INNER | analytics.public.customers | analytics.public.orders
select {fn ucase(c.name)} as name, {fn timestampadd(SQL_TSI_DAY, 1, o.placed_at)} as next_day
from customers c
join orders o on {fn ucase(o.customer_code)} = {fn ucase(c.code)}
where o.placed_at >= {ts '2024-01-01 00:00:00'} and o.shipped_on < {d '2024-02-01'}
  and o.cutoff > {t '08:00:00'}

-- case: outer join escape
-- join: LEFT OUTER | analytics.public.orders | analytics.public.returns
select o.id, r.reason from {oj orders o left outer join returns r on r.order_id = o.id}

-- case: outer join escape with two joins, then a join after it
-- join: LEFT OUTER | analytics.public.orders | analytics.public.returns
-- join: LEFT OUTER | analytics.public.returns | analytics.public.reasons
-- join: INNER | analytics.public.orders | analytics.public.customers
select o.id, x.label, c.name
from {oj orders o left outer join returns r on r.order_id = o.id
      left outer join reasons x on x.id = r.reason_id}
join customers c on c.id = o.customer_id

-- case: object constants of wildcards
-- join: INNER | analytics.public.orders | analytics.public.customers
select object_construct(*) as whole_row, {*} as same_row,
       {o.* exclude (internal_note)} as order_obj, {c.*} as customer_obj,
       {* ilike 'ship%'} as shipping, {'id': o.id, 'name': c.name} as pair
from orders o join customers c on c.id = o.customer_id
